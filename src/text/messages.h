#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The numbered messages: built-in German texts, overridable per language in
// section "Errors" under the number's decimal key, and shown through one
// operation, ShowMessage. How a box is put on the screen is left to a
// presenter the program installs, so the rules here run without a window.
namespace rkt {

// Message numbers used across the program.
namespace msg {
inline constexpr int kNoSensor = 1;
inline constexpr int kPortInit = 2;
inline constexpr int kCommunicationOk = 3;
inline constexpr int kInitWrite = 4;
inline constexpr int kInvalidFile = 20;
inline constexpr int kSaveFailed = 21;
inline constexpr int kTypeMismatch = 30;
inline constexpr int kTypeChanged = 31;
inline constexpr int kSensorLocked = 32;
inline constexpr int kProgramLockWarning = 33;
inline constexpr int kInvalidDataCode = 34;
inline constexpr int kCommentNotStored = 35;
// The write history cannot be kept (damaged, locked, read-only, full); the write goes on.
inline constexpr int kHistoryUnavailable = 37;
// The same where the history is required: nothing is written.
inline constexpr int kHistoryRequired = 39;
// The sensor already holds every value to be written; nothing is written.
inline constexpr int kNothingToWrite = 38;
// The sensor confirmed every byte but holds other values when read back.
inline constexpr int kVerifyFailed = 1040;

// Button sets (the values of the platform's message-box codes).
inline constexpr int kOkOnly = 0;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
// Added to every message: the question-mark icon.
inline constexpr int kQuestionIcon = 32;

// Answers: the code of the button pressed.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kRetry = 4;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msg

// Help contexts: topic numbers of the help pages.
namespace help {
inline constexpr int kContents = 0;
inline constexpr int kOptions = 200;
inline constexpr int kDataChanged = 400;
inline constexpr int kDataCode = 500;
inline constexpr int kPrintComment = 600;
inline constexpr int kProgramLock = 1010;
inline constexpr int kNoSensor = 2000;
inline constexpr int kPortInit = 2001;
inline constexpr int kTypeChanged = 2002;
inline constexpr int kSensorError = 2003;
inline constexpr int kVerifyFailed = 2004;
}  // namespace help
// Every context number a help page exists for, contents first.
std::span<const int> HelpContexts();

// Numbers of the program-error message ("Programmfehler! Fehlernummer N")
// for failures caught at the top of a program or an event handler.
inline constexpr int kErrorOutOfMemory = 7;
inline constexpr int kErrorInternal = 51;

inline constexpr std::string_view kMessageTitle = "RKT410 Meldung";
inline constexpr std::string_view kProgramErrorText = "Programmfehler! Fehlernummer";
inline constexpr std::string_view kSensitivityWriteQuestion =
    "Diese Funktion ändert die Empfindlichkeitseinstellungen des Sensors. Wollen Sie fortfahren?";

// The lines message 2 adds below its text (section "Message"): the port and
// the system's reason (%1 port, %2 reason), the reasons the program gives
// itself, and the hint for a user who may not open the device (%1 device,
// %2 group).
inline constexpr std::string_view kTextPortFailed = "Schnittstelle %1: %2";
inline constexpr std::string_view kTextPortNone = "Es ist keine Schnittstelle gewählt (Menü Optionen).";
inline constexpr std::string_view kTextPortNoNumber = "Der Name enthält keine Schnittstellennummer.";
inline constexpr std::string_view kTextPortUnknownReason = "Ursache unbekannt.";
inline constexpr std::string_view kTextPortPermission =
    "Keine Berechtigung für %1: der Benutzer muss Mitglied der Gruppe \"%2\" sein (danach neu anmelden).";

// The numbers of the built-in message table, in ascending order.
std::span<const int> MessageNumbers();

// The built-in text of a number, with "\n" as the two characters backslash
// and n; "" when the number has none.
std::string BuiltinMessageText(int number);

// The language's text when it is not empty, else the built-in text, else "".
std::string GetErrorText(int number);

// Every backslash-n pair becomes a line break; the scan goes on behind the
// pair, so "A\\\\nB" keeps one backslash on the first line.
std::string ConvertLineBreaks(std::string_view text);

// The text as a box shows it: GetErrorText, or the generic program-error
// text followed by the number, with every backslash-n turned into a line
// break ("\n").
std::string MessageDisplayText(int number);

// One box, ready to be shown.
struct MessageBoxRequest {
  std::string title;
  std::string text;              // line breaks already converted
  int buttons = msg::kOkOnly;    // one of the button sets
  int style = msg::kQuestionIcon;  // buttons plus the icon, as the platform code
  std::optional<int> helpContext;  // a Help button (and F1) opens this topic
};

// Puts a box on the screen and returns the code of the button pressed.
class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual int Present(const MessageBoxRequest& request) = 0;
};

// Opens the help file at a topic (0 = contents); returns at once.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void ShowTopic(const std::string& helpFile, int context) = 0;
};

// The presenter and help viewer in use; nullptr restores the fallbacks (the
// text on standard error and the safe answer; no help).
void SetMessagePresenter(MessagePresenter* presenter);
void SetHelpViewer(HelpViewer* viewer);

// The box numbered messages show: title from section "frmMessage", text by
// MessageDisplayText, the question icon always.
MessageBoxRequest BuildMessage(int number, int buttons = msg::kOkOnly, std::optional<int> helpContext = {});

// Shows any box through the presenter in use and returns the answer code.
int ShowMessageBox(const MessageBoxRequest& request);

// Shows message number modally and returns the answer code.
int ShowMessage(int number, int buttons = msg::kOkOnly, std::optional<int> helpContext = {});

// A file message (20, 21) with a second line naming the file and the
// reason in the user's language (ReasonText): "PATH: REASON".
int ShowFileMessage(int number, const std::string& path, const std::string& reason);

// The question before the sensitivity is written (not a numbered message):
// Yes/No, no title of its own, text used as it stands. Returns the answer.
int AskSensitivityWrite();

// The answer a box gives when nobody can press a button: the safe one
// (Cancel, No or OK), so that no caller retries for ever.
int SafeAnswer(int buttons);

// Opens the current language's help at context (0 = contents).
void ShowHelp(int context);

}  // namespace rkt
