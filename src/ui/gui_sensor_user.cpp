#include "ui/gui_sensor_user.h"

#include "model/data_set.h"
#include "text/messages.h"
#include "text/window_placement.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/history_dialogs.h"
#include "ui/toolbar/toolbar_icons.h"

namespace rkt {

GuiSensorUser::GuiSensorUser(frmMain& window, DataSet& data) : m_window(window), m_data(data) {}
GuiSensorUser::~GuiSensorUser() = default;

void GuiSensorUser::ShowForm(int kind, int steps) {
  // Built anew for every transfer, like every dialog.
  m_progress = std::make_unique<frmRWState>(&m_window);
  m_progress->ShowForm(kind, steps);
}

bool GuiSensorUser::IncBar(int count) { return m_progress ? m_progress->IncBar(count) : true; }

void GuiSensorUser::UnloadForm() {
  if (!m_progress) return;
  m_progress->hide();
  m_progress.reset();
  HandBackKeyboard(&m_window);
}

int GuiSensorUser::ShowMessage(int number, int buttons, int helpContext) {
  std::optional<int> help;
  if (helpContext > 0) help = helpContext;
  return rkt::ShowMessage(number, buttons, help);
}

int GuiSensorUser::ShowMessageNote(int number, const std::string& note, int buttons, int helpContext) {
  std::optional<int> help;
  if (helpContext > 0) help = helpContext;
  MessageBoxRequest request = BuildMessage(number, buttons, help);
  if (!note.empty()) request.text += "\n\n" + ConvertLineBreaks(note);
  return ShowMessageBox(request);
}

bool GuiSensorUser::ConfirmWrite(const DataSet& sensorNow, const DataSet& toWrite) {
  if (!m_window.WritePreview()) return true;
  // Above the progress dialog, which stays open behind it.
  QWidget* parent = m_progress ? static_cast<QWidget*>(m_progress.get()) : &m_window;
  frmWritePreview dialog(ValueChanges(sensorNow, toWrite), parent);
  const bool yes = dialog.exec() == QDialog::Accepted;
  HandBackKeyboard(parent);
  return yes;
}

void GuiSensorUser::NothingToWrite() {
  if (m_window.WritePreview()) rkt::ShowMessage(msg::kNothingToWrite);
}

bool GuiSensorUser::AskWriteSensitivity() { return AskSensitivityWrite() == msg::kYes; }

bool GuiSensorUser::DataChanged(bool progExit) { return rkt::DataChanged(m_data, progExit); }

void GuiSensorUser::FillPanel() {
  m_window.FillPanel();
  m_window.SetOverviewEnabled(1);
}
// What came from the sensor matches it: the overview is live again.
void GuiSensorUser::ShowNewDataSet(bool /*sensitivityAvailable*/) {
  m_window.ShowNewDataSet();
  m_window.SetOverviewEnabled(1);
}

void GuiSensorUser::ReadPanel() { m_window.ReadPanel(); }
void GuiSensorUser::ShowSensitivity() { m_window.ShowSensitivity(); }
void GuiSensorUser::TakeSensitivity() { m_window.TakeSensitivity(); }
void GuiSensorUser::SetDataAvailable(bool available) { m_window.SetDataAvailable(available); }
void GuiSensorUser::SetSensitivityAvailable(bool available) { m_window.SetSensitivityAvailable(available); }
void GuiSensorUser::RefreshOverview() { m_window.RefreshOverview(); }
void GuiSensorUser::HideSensorFrame() { m_window.HideSensorFrame(); }
void GuiSensorUser::ShowConnected(bool connected) { m_window.ShowConnected(connected); }
void GuiSensorUser::SetOverviewEnabled(bool enabled) { m_window.SetOverviewEnabled(enabled ? 1 : 0); }

void GuiSensorUser::ShowDetectionState(link::DetectionState state) {
  switch (state) {
    case link::DetectionState::On: m_window.ShowDetectionState(StatusImage::DetectionOn); break;
    case link::DetectionState::Off: m_window.ShowDetectionState(StatusImage::DetectionOff); break;
    case link::DetectionState::Searching: m_window.ShowDetectionState(StatusImage::Searching); break;
  }
}

}  // namespace rkt
