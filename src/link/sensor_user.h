#pragma once

#include <string>

#include "text/messages.h"

namespace rkt {
class DataSet;
}

// Everything the sensor operations need from the user's side: the progress
// dialog, the numbered messages, the question about unsaved changes and the
// main window's refreshes. The window implements it, and so do the command
// line and the tests.
namespace rkt::link {

// Button sets and answers of ShowMessage, as the message display numbers them.
inline constexpr int kButtonsOk = msg::kOkOnly;
inline constexpr int kButtonsYesNo = msg::kYesNo;
inline constexpr int kButtonsRetryCancel = msg::kRetryCancel;
inline constexpr int kAnswerOk = msg::kOk;
inline constexpr int kAnswerCancel = msg::kCancel;
inline constexpr int kAnswerRetry = msg::kRetry;
inline constexpr int kAnswerYes = msg::kYes;
inline constexpr int kAnswerNo = msg::kNo;

// Progress dialog kinds (its caption).
enum ProgressKind : int {
  kProgressWrite = 0,
  kProgressRead = 1,
  kProgressSearch = 2,
  kProgressReadSensitivity = 3,
  kProgressWriteSensitivity = 4,
  kProgressReadDefaults = 5,
};

// Help contexts of the sensor messages.
inline constexpr int kHelpNoSensor = help::kNoSensor;
inline constexpr int kHelpPort = help::kPortInit;
inline constexpr int kHelpTypeChanged = help::kTypeChanged;
inline constexpr int kHelpTransfer = help::kSensorError;

// The detection indicator's pictures.
enum class DetectionState { On, Off, Searching };

class SensorUser {
 public:
  virtual ~SensorUser() = default;

  // Progress dialog: open with a number of steps, advance (a negative count
  // moves back; false once Cancel was pressed), close.
  virtual void ShowForm(int kind, int steps) = 0;
  virtual bool IncBar(int count) = 0;
  virtual void UnloadForm() = 0;

  // A numbered message with a button set; returns the button pressed.
  virtual int ShowMessage(int number, int buttons, int helpContext) = 0;
  // "Diese Funktion ändert die Empfindlichkeitseinstellungen des Sensors.
  // Wollen Sie fortfahren?" — true for Yes.
  virtual bool AskWriteSensitivity() = 0;
  // Asks about unsaved changes; true when the caller must stop.
  virtual bool DataChanged(bool progExit) = 0;

  // A numbered message with a further paragraph (in the current language).
  virtual int ShowMessageNote(int number, const std::string& /*note*/, int buttons, int helpContext) {
    return ShowMessage(number, buttons, helpContext);
  }
  // Before a write: sensorNow's working copy holds what the sensor has now,
  // toWrite's what is about to be written, and they differ. False ends the
  // write before anything is written.
  virtual bool ConfirmWrite(const DataSet& /*sensorNow*/, const DataSet& /*toWrite*/) { return true; }
  // The sensor already holds every value of the write; nothing is written.
  virtual void NothingToWrite() {}

  // Main window.
  virtual void FillPanel() = 0;         // show the working copy in the panel
  virtual void ReadPanel() = 0;         // take the controls into the working copy
  virtual void ShowSensitivity() = 0;   // show the working copy's sensitivity
  virtual void TakeSensitivity() = 0;   // take the sensitivity control into the working copy
  virtual void SetDataAvailable(bool available) = 0;
  virtual void SetSensitivityAvailable(bool available) = 0;
  virtual void RefreshOverview() = 0;
  virtual void HideSensorFrame() = 0;
  // The status bar's connected / not connected picture.
  virtual void ShowConnected(bool connected) = 0;
  // Greys the overview while the data shown may no longer match a sensor.
  virtual void SetOverviewEnabled(bool /*enabled*/) {}
  // The working copy holds a new data set (read, detected, opened, applied):
  // show all of it. The window has one such path for every source.
  virtual void ShowNewDataSet(bool sensitivityAvailable) {
    FillPanel();
    ShowSensitivity();
    SetDataAvailable(true);
    SetSensitivityAvailable(sensitivityAvailable);
    RefreshOverview();
  }
  virtual void ShowDetectionState(DetectionState /*state*/) {}
};

// A user side with nobody there: no dialog, no window, every question
// answered the safe way (Cancel, No, OK). Programs without a window derive
// from it and override what they need.
class QuietSensorUser : public SensorUser {
 public:
  void ShowForm(int /*kind*/, int /*steps*/) override {}
  bool IncBar(int /*count*/) override { return true; }
  void UnloadForm() override {}
  int ShowMessage(int /*number*/, int buttons, int /*helpContext*/) override { return SafeAnswer(buttons); }
  bool AskWriteSensitivity() override { return true; }
  bool DataChanged(bool /*progExit*/) override { return false; }
  void FillPanel() override {}
  void ReadPanel() override {}
  void ShowSensitivity() override {}
  void TakeSensitivity() override {}
  void SetDataAvailable(bool /*available*/) override {}
  void SetSensitivityAvailable(bool /*available*/) override {}
  void RefreshOverview() override {}
  void HideSensorFrame() override {}
  void ShowConnected(bool /*connected*/) override {}
};

}  // namespace rkt::link
