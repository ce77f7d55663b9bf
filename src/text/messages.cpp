#include "text/messages.h"

#include <array>
#include <iostream>

#include "text/language.h"
#include "text/reason_texts.h"

namespace rkt {

namespace {

constexpr std::array kMessageNumbers = {1,    2,    3,    4,    20,   21,   30,   31,   32,   33,  34,
                                        35,   37,   38,   39,   1001, 1002, 1005, 1010, 1011, 1012, 1021, 1030, 1040};
constexpr std::array kHelpContexts = {help::kContents,    help::kOptions,   help::kDataChanged, help::kDataCode,
                                      help::kPrintComment, help::kProgramLock, help::kNoSensor,  help::kPortInit,
                                      help::kTypeChanged, help::kSensorError, help::kVerifyFailed};

MessagePresenter* g_presenter = nullptr;
HelpViewer* g_helpViewer = nullptr;

int Present(const MessageBoxRequest& request) {
  if (g_presenter != nullptr) return g_presenter->Present(request);
  // No window system: say it where someone may read it, and take the answer
  // that ends the operation.
  std::cerr << request.title << ": " << request.text << '\n';
  return SafeAnswer(request.buttons);
}

}  // namespace

std::span<const int> MessageNumbers() { return kMessageNumbers; }
std::span<const int> HelpContexts() { return kHelpContexts; }

std::string BuiltinMessageText(int number) {
  switch (number) {
    case 1: return "Der Sensor kann nicht angesprochen werden!";
    case 2: return "Fehler bei der Initialisierung der seriellen Schnittstelle!";
    case 3: return "Kommunikation ok!";
    case 4: return "Fehler beim Schreiben der Initialisierungsdaten!";
    case 20: return "Ungültige Datendatei!";
    case 21: return "Fehler beim Speichern der Datei!";
    case 30: return "Fehler: Sensor und Daten haben unterschiedlichen Typenschlüssel!";
    case 31:
      return std::string("Der Sensortyp hat sich geändert.\\n") +
             "Die Daten sind auf diesen Typ nicht übertragbar.\\n\\n" +
             "Wollen Sie die Daten des neuen Sensors einlesen?";
    case 32: return "Der Sensor ist gesperrt.\\nDie Daten können nicht übertragen werden.";
    case 33:
      return "Achtung! Die Parametriersperre ist aktiviert!\\nSie läßt sich nur durch einen Sensor-Reset wieder "
             "ausschalten.";
    case 34: return "Ungültiger Datencode!";
    case 35:
      return std::string("Sie haben die Zusatzbeschreibung dieses Datensatzes\\n") +
             "geändert! Um die Zusatzbeschreibung zu sichern, müssen\\n" +
             "Sie die Daten in einer Datei speichern.";
    case 1001: return "Fehler beim Lesen der Sensordaten! (1001)";
    case 1002: return "Fehler beim Lesen der Sensordaten! (1002)";
    // A wrong block echo is reported to users under the number 1003.
    case 1005: return "Fehler beim Lesen der Sensordaten! (1003)";
    case 1010: return "Fehler beim Schreiben der Sensordaten! (1010)";
    case 1011: return "Fehler beim Schreiben der Sensordaten! (1011)";
    case 1012: return "Fehler beim Schreiben der Sensordaten! (1012)";
    case 1021: return "Fehler beim Schreiben der Sensordaten! (1021)";
    case 1030: return "Benutzer Abbruch";
    case 37:
      return "Der Verlauf der Schreibvorgänge kann nicht gespeichert werden.\\nDas Schreiben geht ohne Sicherung "
             "weiter.";
    case 38: return "Der Sensor enthält bereits diese Werte.\\nEs wird nichts geschrieben.";
    case 39:
      return "Der Verlauf der Schreibvorgänge kann nicht gespeichert werden.\\nOhne Sicherung wird nicht "
             "geschrieben.";
    case 1040: return "Fehler beim Prüfen der Sensordaten! Der Sensor hat nicht alle Werte übernommen. (1040)";
    default: return {};
  }
}

std::string GetErrorText(int number) {
  std::string text = GetText("Errors", std::to_string(number), "");
  if (!text.empty()) return text;
  return BuiltinMessageText(number);
}

std::string ConvertLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out.push_back('\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string MessageDisplayText(int number) {
  std::string text = GetErrorText(number);
  if (text.empty()) {
    text = GetText("Errors", "Default", kProgramErrorText);
    // One blank before a number ≥ 0, the minus sign alone before a negative.
    text += number >= 0 ? " " + std::to_string(number) : std::to_string(number);
  }
  return ConvertLineBreaks(text);
}

void SetMessagePresenter(MessagePresenter* presenter) { g_presenter = presenter; }
void SetHelpViewer(HelpViewer* viewer) { g_helpViewer = viewer; }

MessageBoxRequest BuildMessage(int number, int buttons, std::optional<int> helpContext) {
  MessageBoxRequest r;
  r.title = GetText("frmMessage", "frmMessage", kMessageTitle);
  r.text = MessageDisplayText(number);
  r.buttons = buttons;
  r.style = buttons + msg::kQuestionIcon;
  r.helpContext = helpContext;
  return r;
}

int ShowMessageBox(const MessageBoxRequest& request) { return Present(request); }

int ShowMessage(int number, int buttons, std::optional<int> helpContext) {
  return Present(BuildMessage(number, buttons, helpContext));
}

int ShowFileMessage(int number, const std::string& path, const std::string& reason) {
  MessageBoxRequest request = BuildMessage(number);
  request.text += "\n" + path + (reason.empty() ? std::string{} : ": " + ReasonText(reason));
  return Present(request);
}

int AskSensitivityWrite() {
  MessageBoxRequest r;
  // No title of its own: the application's title, as the platform gives it.
  r.title = GetText("frmMain", "frmMain", "RKT 410 Parametrierung");
  r.text = GetText("Message", "SensorWriteSens", kSensitivityWriteQuestion);
  r.buttons = msg::kYesNo;
  r.style = msg::kYesNo + msg::kQuestionIcon;
  return Present(r);
}

int SafeAnswer(int buttons) {
  switch (buttons) {
    case msg::kYesNo: return msg::kNo;
    case msg::kYesNoCancel:
    case msg::kRetryCancel: return msg::kCancel;
    default: return msg::kOk;
  }
}

void ShowHelp(int context) {
  if (g_helpViewer != nullptr) g_helpViewer->ShowTopic(CurrentHelpFile(), context);
}

}  // namespace rkt
