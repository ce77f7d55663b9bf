#pragma once

#include <memory>

#include "link/sensor_user.h"

namespace rkt {

class DataSet;
class frmMain;
class frmRWState;

// The sensor operations' user side in the program: the progress dialog, the
// message boxes, the unsaved-changes question and the main window's
// refreshes.
class GuiSensorUser final : public link::SensorUser {
 public:
  GuiSensorUser(frmMain& window, DataSet& data);
  ~GuiSensorUser() override;

  void ShowForm(int kind, int steps) override;
  bool IncBar(int count) override;
  void UnloadForm() override;
  int ShowMessage(int number, int buttons, int helpContext) override;
  bool AskWriteSensitivity() override;
  bool DataChanged(bool progExit) override;
  int ShowMessageNote(int number, const std::string& note, int buttons, int helpContext) override;
  // With the preview option on: the dialog of the values that change.
  bool ConfirmWrite(const DataSet& sensorNow, const DataSet& toWrite) override;
  void NothingToWrite() override;
  void FillPanel() override;
  void ReadPanel() override;
  void ShowSensitivity() override;
  void TakeSensitivity() override;
  void SetDataAvailable(bool available) override;
  void SetSensitivityAvailable(bool available) override;
  void RefreshOverview() override;
  void HideSensorFrame() override;
  void ShowConnected(bool connected) override;
  void SetOverviewEnabled(bool enabled) override;
  void ShowNewDataSet(bool sensitivityAvailable) override;
  void ShowDetectionState(link::DetectionState state) override;

  // The progress dialog while a transfer runs (tests drive its Cancel).
  frmRWState* Progress() const { return m_progress.get(); }

 private:
  frmMain& m_window;
  DataSet& m_data;
  std::unique_ptr<frmRWState> m_progress;
};

}  // namespace rkt
