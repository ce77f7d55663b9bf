#pragma once

#include <QSpinBox>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QScrollBar;

namespace rkt {

class DataSet;
class PictureView;

// A spin box beside a bar: it holds the bar's raw value and shows it in the
// bar's unit ("2.5 s", "120 ms", "50%"), one step being one step of the bar.
// What is typed is read in the same unit.
class UnitSpinBox : public QSpinBox {
  Q_OBJECT
 public:
  using Format = std::function<QString(int raw)>;
  using Parse = std::function<int(const QString& text, bool* ok)>;
  explicit UnitSpinBox(QWidget* parent = nullptr);
  void SetUnit(Format format, Parse parse);
  // A raw value in the box's unit.
  QString textFromValue(int value) const override;

 signals:
  // Typing ended on a value outside the range (or no value at all): the box
  // goes back to the value it had. Raised once per attempt, after the fact.
  void InputRejected(const QString& typed);

 protected:
  int valueFromText(const QString& text) const override;
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  Format m_format;
  Parse m_parse;
};

// The controls through which the user sees and edits the working copy.
// FillPanel shows the working copy and decides per sensor type which controls
// and list items exist; ReadPanel takes the controls back into the working
// copy just before the data set is written or saved. In between, user actions
// only mark the data changed and keep dependent controls consistent.
class ParameterPanel : public QWidget {
  Q_OBJECT

 public:
  explicit ParameterPanel(DataSet& ds, QWidget* parent = nullptr);

  // Shows the working copy. The caller clears the changed flag afterwards.
  void FillPanel(bool refreshOverview = true);
  // Saves the working copy as backup, then stores the controls' state in it.
  void ReadPanel();
  // Sets the sensitivity bar from the working copy without marking a change.
  void ShowSensitivity();
  // Stores the sensitivity bar's value while the sensitivity group is enabled.
  void TakeSensitivity();
  void SetInputEnabled(bool enabled);
  // Enables the sensitivity group; disabling resets it without a change.
  void SetSensitivityAvailable(bool available);

  // Re-applies the current language to captions and list texts (the three
  // rebuilt lists take their texts from the snapshot).
  void ApplyTexts();
  // "" or "1": the time-function pictures in normal or large size.
  void SetPictureSuffix(const QString& suffix);
  bool IsFilling() const { return m_filling; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 public:

  // Controls, named as their objectName; tests and the window reach them here.
  QGroupBox* frameInput;
  QComboBox* cmbInput;
  QCheckBox* chkInputInv;
  QGroupBox* frameSensitivity;
  QScrollBar* scrlSensitivity;
  UnitSpinBox* spnSensitivity;
  QLabel* lblSensitivity;
  QGroupBox* frameOutput;
  QComboBox* cmbSingleOutput;
  QCheckBox* chkOutputInv;
  QWidget* picOutputType;
  std::array<QRadioButton*, 3> rdOutputType;
  QLabel* lblFunction;
  QComboBox* cmbOutput;
  QCheckBox* chkAlarmOutput;
  QComboBox* cmbInputOutput;
  QGroupBox* frameGeneral;
  QLabel* lblProgramLock;
  QCheckBox* chkProgramLock;
  QComboBox* cmbProgramlock;
  QLabel* lblKeyboardLock;
  QComboBox* cmbKeyboardlock;
  QLabel* lblPulse;
  QComboBox* cmbPulse;
  QLabel* lblSwitchfrequency;
  QComboBox* cmbSchaltfrequenz;
  QLabel* lblHysteresis;
  QComboBox* cmbHysteresis;
  QGroupBox* frameTimefunction;
  QCheckBox* chkTimefunction1;
  QScrollBar* scrlEinschalt;
  UnitSpinBox* spnEinschalt;
  QLabel* lblEinschalt;
  PictureView* imgTimefunction1;
  QCheckBox* chkTimefunction2;
  std::array<QRadioButton*, 3> rdTimefunction2;
  QScrollBar* scrlAusgang;
  UnitSpinBox* spnAusgang;
  QLabel* lblAusgang;
  PictureView* imgTimefunction2;

 signals:
  // FillPanel asks for the overview to be rebuilt.
  void OverviewRefreshRequested();
  // The user ticked the programming lock (message 33 is the window's job).
  void ProgramLockTicked();
  // A typed time or sensitivity was not taken; the text says why and what
  // the box allows, for the status bar.
  void InputRejected(const QString& text);

 private:
  void BuildControls();
  void ConnectEvents();
  void SetTabOrder();
  void MarkChanged();
  void SetPicture(PictureView* img, const QString& name);
  int SelectedTimeFunction2Index() const;
  void UpdateAusgangLabel();
  void OnInputChanged();
  void OnInputOutputChanged();
  void OnTimeFunction1Clicked();
  void OnTimeFunction2Clicked();

  DataSet& m_ds;
  bool m_filling = false;
  QString m_suffix;
  // Texts of the three lists that are rebuilt per sensor type.
  QStringList m_inputTexts;
  QStringList m_switchingTexts;
  QStringList m_pulseTexts;
};

}  // namespace rkt
