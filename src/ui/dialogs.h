#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace rkt {

class DataSet;

// Each dialog is built anew when shown, applies the current language in its
// constructor (SetLanguage) and is centred over the main window.

// The data code of the working copy; a typed code replaces the working copy.
class frmDataCode : public QDialog {
  Q_OBJECT
 public:
  explicit frmDataCode(DataSet& ds, QWidget* parent = nullptr);
  void SetLanguage();
  // Emitted after a typed code was applied, so the window can refresh.
  Q_SIGNAL void CodeApplied();

  QLineEdit* txtCode;
  QPushButton* btOK;
  QPushButton* btCancel;
  QPushButton* btHelp;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnOk();
  DataSet& m_ds;
  QString m_initialCode;
};

// Identification of the data in the working copy.
class frmSensorInfo : public QDialog {
  Q_OBJECT
 public:
  explicit frmSensorInfo(const DataSet& ds, QWidget* parent = nullptr);
  void SetLanguage();
  QLabel *lblTyp, *lblSerial, *lblYear, *lblVersion, *lblCode;
  QLabel *lbTyp, *lbTyp1, *lbNr, *lbJahr, *lbVersion, *lbCode;
  QPushButton* btOK;
};

// The question before unsaved changes are discarded or the program ends.
class frmChanged : public QDialog {
  Q_OBJECT
 public:
  frmChanged(bool progexit, QWidget* parent = nullptr);
  void SetLanguage();
  // True when the user chose Cancel (keep the changes).
  bool Answer() const { return m_answer; }
  std::array<QLabel*, 3> lblText;
  QPushButton *btYes, *btCancel, *btHelp;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  bool m_answer = true;
  bool m_closedByButton = false;
};

// True when the caller must stop: the data was changed and the user chose to
// keep the changes. Asks nothing when the data is unchanged.
bool DataChanged(const DataSet& ds, bool progexit);

// Edits the data set's description.
class frmPrintComment : public QDialog {
  Q_OBJECT
 public:
  explicit frmPrintComment(DataSet& ds, QWidget* parent = nullptr);
  void SetLanguage();
  QLabel* lblComment;
  QPlainTextEdit* txtComment;
  QPushButton *btOK, *btHelp, *btCancel;

 private:
  void OnOk();
  DataSet& m_ds;
  QString m_shownText;  // the text as first shown
};

// Shows the description dialog; true when the user pressed OK.
bool GetComment(DataSet& ds);

// Progress of a sensor transfer with its Cancel button. Window-modal, so the
// user cannot start a second command while a transfer runs.
class frmRWState : public QDialog {
  Q_OBJECT
 public:
  explicit frmRWState(QWidget* parent = nullptr);
  void SetLanguage();
  // Opens the dialog for transfer kind typ (0..5) over `steps` steps.
  void ShowForm(int typ, int steps);
  // Advances the bar (kept within 0..maximum); false once Cancel was pressed.
  bool IncBar(int count = 1);
  bool Cancelled() const { return m_cancelled; }

  QProgressBar* gaugeBar;
  QPushButton* btCancel;
  std::array<QLabel*, 6> lblSensor;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  bool m_cancelled = false;
};

// Program title, version ("e" appended while the line echoes) and notices.
class frmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(bool echo, QWidget* parent = nullptr);
  void SetLanguage();
  QLabel *lblProgram, *lblVersion, *lblVersionNum, *lblSoftware, *lblCopyright, *lblNotice;
  QPushButton* btOK;
};

// What the options dialog shows and changes; the main window supplies it.
class OptionsBackend {
 public:
  virtual ~OptionsBackend() = default;
  virtual int Detection() const = 0;
  virtual void SetDetection(int mode) = 0;
  virtual bool Tooltips() const = 0;
  virtual void SetTooltips(bool on) = 0;
  virtual QStringList Ports() const = 0;
  virtual QString CurrentPort() const = 0;
  virtual void OpenPort(const QString& name) = 0;
  virtual QStringList Languages() const = 0;
  virtual int CurrentLanguage() const = 0;
  virtual void SelectLanguage(int index) = 0;
  virtual int OverviewShown() const = 0;
  virtual void SetOverviewShown(int shown) = 0;
  // The serial trace for support: whether it records, and into which file.
  virtual bool Trace() const { return false; }
  virtual void SetTrace(bool /*on*/) {}
  virtual QString TraceFile() const { return {}; }
  // Whether a write first shows the values it changes.
  virtual bool WritePreview() const { return true; }
  virtual void SetWritePreview(bool /*on*/) {}
  // Where the history of writes is kept: a file or a server's address
  // (postgresql://…); "" for the user's own file, shown as the default.
  virtual QString HistoryDb() const { return {}; }
  virtual QString DefaultHistoryDb() const { return {}; }
  virtual void SetHistoryDb(const QString& /*where*/) {}
};

class frmOptions : public QDialog {
  Q_OBJECT
 public:
  explicit frmOptions(OptionsBackend& backend, QWidget* parent = nullptr);
  void SetLanguage();
  QGroupBox* framePort;
  QComboBox* cmbPorts;
  QCheckBox *chkSensor, *chkTooltips, *chkOverview, *chkTrace;
  QCheckBox* chkPreview;
  QLabel* lblTraceFile;
  QLabel* lblHistoryDb;
  QLineEdit* txtHistoryDb;
  QGroupBox* frameSprache;
  QComboBox* cmbLanguage;
  QPushButton *btOK, *btHelp, *btCancel;

 private:
  void OnOk();
  OptionsBackend& m_backend;
};

}  // namespace rkt
