#include "ui/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/text_encoding.h"
#include "rkt_version.h"
#include "text/messages.h"
#include "ui/combo_utils.h"
#include "text/window_placement.h"
#include "ui/accessibility.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

template <typename T>
T* Named(T* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QPushButton* Button(const char* name) { return Named(new QPushButton, QString::fromLatin1(name)); }

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* b : buttons) row->addWidget(b);
  return row;
}

QString FromDataSet(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

// Takes a code as people paste it (CleanDataCode): blanks around it go
// before the length limit applies, a blank between two groups is their dash,
// and lower case counts as upper case, as typed letters do.
class DataCodeValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    const QString code = Clean(input);
    if (code.size() > static_cast<qsizetype>(kDataCodeLength)) return Invalid;
    // The caret stays behind the character it was behind.
    pos = static_cast<int>(std::min(Clean(input.left(pos)).size(), code.size()));
    input = code;
    return Acceptable;
  }

 private:
  static QString Clean(QString s) {
    // Any blank a paste brings (tab, no-break space, line end) is a blank.
    for (QChar& c : s)
      if (c.isSpace()) c = QLatin1Char(' ');
    return QString::fromStdString(CleanDataCode(s.toStdString()));
  }
};

}  // namespace

// ---- frmDataCode ----------------------------------------------------------

frmDataCode::frmDataCode(DataSet& ds, QWidget* parent) : QDialog(parent), m_ds(ds) {
  setObjectName(QStringLiteral("frmDataCode"));
  txtCode = Named(new QLineEdit(QStringLiteral("0000-0000-0000-0000-00")), QStringLiteral("txtCode"));
  txtCode->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The 23-character limit is the validator's, so that it applies after
  // the blanks around a pasted code are gone.
  txtCode->setValidator(new DataCodeValidator(txtCode));
  txtCode->setMinimumWidth(txtCode->fontMetrics().horizontalAdvance(QString(26, QLatin1Char('W'))));
  txtCode->installEventFilter(this);
  btOK = Button("btOK");
  btCancel = Button("btCancel");
  btHelp = Button("btHelp");
  btOK->setDefault(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtCode);
  layout->addLayout(ButtonRow({btOK, btCancel, btHelp}));
  SetLanguage();

  m_initialCode = QString::fromStdString(EncodeDataCode(m_ds));
  txtCode->setText(m_initialCode);
  connect(btOK, &QPushButton::clicked, this, &frmDataCode::OnOk);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btHelp, &QPushButton::clicked, this, [] { ShowHelp(500); });
}

void frmDataCode::SetLanguage() {
  setWindowTitle(UiText("frmDataCode", "frmDataCode"));
  txtCode->setAccessibleName(UiText("frmDataCode", "txtCode"));
  btOK->setText(UiText("frmDataCode", "btOk"));
  btCancel->setText(UiText("frmDataCode", "btCancel"));
  btHelp->setText(UiText("frmDataCode", "btHelp"));
}

bool frmDataCode::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtCode) {
    if (event->type() == QEvent::FocusIn) {
      // Queued: a mouse click would otherwise place the caret over the selection.
      QTimer::singleShot(0, txtCode, [this] { txtCode->selectAll(); });
    } else if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      const QString typed = key->text();
      const bool command = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
      if (!command && typed.size() == 1 && typed[0].isLower()) {
        txtCode->insert(typed.toUpper());
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmDataCode::OnOk() {
  const QString t = txtCode->text();
  if (t == m_initialCode || t.isEmpty()) {
    accept();
    return;
  }
  if (!ApplyDataCode(m_ds, t.toStdString())) {
    ShowMessage(msg::kInvalidDataCode);
    txtCode->setFocus();
    txtCode->selectAll();
    return;
  }
  emit CodeApplied();
  accept();
}

// ---- frmSensorInfo --------------------------------------------------------

frmSensorInfo::frmSensorInfo(const DataSet& ds, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSensorInfo"));
  lblTyp = Named(new QLabel, QStringLiteral("lblTyp"));
  lblSerial = Named(new QLabel, QStringLiteral("lblSerial"));
  lblYear = Named(new QLabel, QStringLiteral("lblYear"));
  lblVersion = Named(new QLabel, QStringLiteral("lblVersion"));
  lblCode = Named(new QLabel, QStringLiteral("lblCode"));
  lbTyp = Named(new QLabel, QStringLiteral("lbTyp"));
  lbTyp1 = Named(new QLabel, QStringLiteral("lbTyp1"));
  lbNr = Named(new QLabel, QStringLiteral("lbNr"));
  lbJahr = Named(new QLabel, QStringLiteral("lbJahr"));
  lbVersion = Named(new QLabel, QStringLiteral("lbVersion"));
  lbCode = Named(new QLabel, QStringLiteral("lbCode"));
  lbCode->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  for (QLabel* value : {lbTyp, lbTyp1, lbNr, lbJahr, lbVersion, lbCode}) {
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setTextFormat(Qt::PlainText);
  }
  btOK = Button("btOK");
  btOK->setDefault(true);

  auto* picture = new QLabel;
  picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  auto* grid = new QGridLayout;
  grid->addWidget(lblTyp, 0, 0);
  grid->addWidget(lbTyp, 0, 1);
  grid->addWidget(lbTyp1, 1, 1);
  grid->addWidget(lblSerial, 2, 0);
  grid->addWidget(lbNr, 2, 1);
  grid->addWidget(lblYear, 3, 0);
  grid->addWidget(lbJahr, 3, 1);
  grid->addWidget(lblVersion, 4, 0);
  grid->addWidget(lbVersion, 4, 1);
  grid->addWidget(lblCode, 5, 0);
  grid->addWidget(lbCode, 5, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addLayout(grid, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(ButtonRow({btOK}));
  SetLanguage();

  const std::string name = ds.GetString(ValueId::TypeName, kWorkingCopy);
  lbTyp->setText(FromDataSet(TypeDesignation(ds, kWorkingCopy)));
  lbTyp1->setText(FromDataSet(AdditionalDesignation(ds, kWorkingCopy)));
  lbNr->setText(QStringLiteral("%1").arg(ds.GetInt(ValueId::SerialNumber, kWorkingCopy), 5, 10, QLatin1Char('0')));
  lbJahr->setText(QStringLiteral("%1/%2").arg(ds.GetInt(ValueId::ManufacturePart1, kWorkingCopy))
                      .arg(ds.GetInt(ValueId::ManufacturePart2, kWorkingCopy)));
  lbVersion->setText(QString::fromStdString(ds.GetString(ValueId::VersionText, kWorkingCopy)));
  lbCode->setText(QString::fromStdString(EncodeDataCode(ds)));
  // The values take the keyboard (to copy them); a screen reader says each
  // with its caption, as "12345" alone says nothing.
  const std::pair<QLabel*, QLabel*> captioned[] = {{lbTyp, lblTyp},       {lbTyp1, lblTyp},         {lbNr, lblSerial},
                                                   {lbJahr, lblYear},     {lbVersion, lblVersion}, {lbCode, lblCode}};
  for (const auto& [value, caption] : captioned)
    value->setAccessibleName(AccessibleText(caption->text()) + QLatin1Char(' ') + value->text());
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmSensorInfo::SetLanguage() {
  setWindowTitle(UiText("frmSensorInfo", "frmSensorInfo"));
  lblTyp->setText(UiText("frmSensorInfo", "lblTyp"));
  lblSerial->setText(UiText("frmSensorInfo", "lblSerial"));
  lblYear->setText(UiText("frmSensorInfo", "lblYear"));
  lblVersion->setText(UiText("frmSensorInfo", "lblVersion"));
  lblCode->setText(UiText("frmSensorInfo", "lblCode"));
  btOK->setText(UiText("frmSensorInfo", "btOk"));
}

// ---- frmChanged -----------------------------------------------------------

frmChanged::frmChanged(bool progexit, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmChanged"));
  for (int i = 0; i < 3; ++i) lblText[static_cast<std::size_t>(i)] = Named(new QLabel, QStringLiteral("lblText%1").arg(i));
  btYes = Button("btYes");
  btCancel = Button("btCancel");
  btHelp = Button("btHelp");
  btCancel->setDefault(true);  // Enter keeps the changes: the safe answer
  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* texts = new QVBoxLayout;
  for (QLabel* l : lblText) texts->addWidget(l);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(ButtonRow({btYes, btCancel, btHelp}));
  SetLanguage();
  lblText[1]->setVisible(progexit);
  lblText[2]->setVisible(!progexit);

  connect(btYes, &QPushButton::clicked, this, [this] {
    m_closedByButton = true;
    m_answer = false;
    accept();
  });
  connect(btCancel, &QPushButton::clicked, this, [this] {
    m_closedByButton = true;
    m_answer = true;
    QDialog::reject();
  });
  connect(btHelp, &QPushButton::clicked, this, [] { ShowHelp(400); });
}

void frmChanged::SetLanguage() {
  setWindowTitle(UiText("frmChanged", "frmChanged"));
  lblText[0]->setText(UiText("frmChanged", "lblText0"));
  lblText[1]->setText(UiText("frmChanged", "lblText1"));
  lblText[2]->setText(UiText("frmChanged", "lblText2"));
  btYes->setText(UiText("frmChanged", "btYes"));
  btCancel->setText(UiText("frmChanged", "btCancel"));
  btHelp->setText(UiText("frmChanged", "btHelp"));
}

void frmChanged::closeEvent(QCloseEvent* event) {
  // The user must answer with a button.
  if (!m_closedByButton) event->ignore();
  else QDialog::closeEvent(event);
}

void frmChanged::reject() {
  // Escape answers like Cancel: the changes are kept.
  btCancel->click();
}

bool DataChanged(const DataSet& ds, bool progexit) {
  if (!ds.IsChanged()) return false;
  frmChanged dialog(progexit, MainWindow());
  ShowFormModal(dialog);
  return dialog.Answer();
}

// ---- frmPrintComment ------------------------------------------------------

namespace {
// The comment keeps Windows line ends, as the files and the printout expect.
QString CommentForEditing(const std::string& cp1252) { return FromDataSet(cp1252).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
// The box's text with no-break spaces kept (toPlainText turns them into
// plain ones) and paragraph ends as line feeds.
QString EditedText(const QPlainTextEdit& box) {
  QString t = box.document()->toRawText();
  t.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n')).replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
  return t;
}
std::string CommentForDataSet(const QString& text) {
  QString t = text;
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return Utf8ToCp1252(t.toStdString());
}
}  // namespace

frmPrintComment::frmPrintComment(DataSet& ds, QWidget* parent) : QDialog(parent), m_ds(ds) {
  setObjectName(QStringLiteral("frmPrintComment"));
  lblComment = Named(new QLabel, QStringLiteral("lblComment"));
  txtComment = Named(new QPlainTextEdit, QStringLiteral("txtComment"));
  txtComment->setTabChangesFocus(true);
  lblComment->setBuddy(txtComment);
  btOK = Button("btOK");
  btHelp = Button("btHelp");
  btCancel = Button("btCancel");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblComment);
  layout->addWidget(txtComment);
  layout->addLayout(ButtonRow({btOK, btCancel, btHelp}));
  resize(420, 220);
  SetLanguage();
  txtComment->setPlainText(CommentForEditing(m_ds.Comment()));
  // What the box holds before any edit: OK compares against this, not
  // against the stored comment, whose line ends and no-break spaces the box
  // shows in its own form.
  m_shownText = EditedText(*txtComment);
  connect(btOK, &QPushButton::clicked, this, &frmPrintComment::OnOk);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btHelp, &QPushButton::clicked, this, [] { ShowHelp(600); });
}

void frmPrintComment::SetLanguage() {
  setWindowTitle(UiText("frmPrintComment", "frmPrintComment"));
  lblComment->setText(UiText("frmPrintComment", "lblComment"));
  btOK->setText(UiText("frmPrintComment", "btOk"));
  btHelp->setText(UiText("frmPrintComment", "btHelp"));
  btCancel->setText(UiText("frmPrintComment", "btCancel"));
}

void frmPrintComment::OnOk() {
  const QString edited = EditedText(*txtComment);
  const std::string text = CommentForDataSet(edited);
  if (edited != m_shownText && text != m_ds.Comment()) {
    m_ds.SetValue(ValueId::Comment, text);
    m_ds.SetValue(ValueId::CommentChanged, true);
  }
  accept();
}

bool GetComment(DataSet& ds) {
  frmPrintComment dialog(ds, MainWindow());
  return ShowFormModal(dialog) == QDialog::Accepted;
}

// ---- frmRWState -----------------------------------------------------------

frmRWState::frmRWState(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmRWState"));
  setWindowModality(Qt::WindowModal);
  gaugeBar = Named(new QProgressBar, QStringLiteral("gaugeBar"));
  gaugeBar->setMinimum(0);
  gaugeBar->setTextVisible(false);
  gaugeBar->setMinimumWidth(320);
  btCancel = Button("btCancel");
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < 6; ++i) {
    lblSensor[static_cast<std::size_t>(i)] = Named(new QLabel, QStringLiteral("lblSensor%1").arg(i));
    layout->addWidget(lblSensor[static_cast<std::size_t>(i)]);
  }
  layout->addWidget(gaugeBar);
  layout->addLayout(ButtonRow({btCancel}));
  SetLanguage();
  connect(btCancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
}

void frmRWState::SetLanguage() {
  setWindowTitle(UiText("frmRWState", "frmRWState"));
  btCancel->setText(UiText("frmRWState", "btCancel"));
  for (int i = 0; i < 6; ++i)
    lblSensor[static_cast<std::size_t>(i)]->setText(UiText("frmRWState", "lblSensor" + std::to_string(i)));
}

void frmRWState::ShowForm(int typ, int steps) {
  m_cancelled = false;
  for (int i = 0; i < 6; ++i) lblSensor[static_cast<std::size_t>(i)]->setVisible(i == typ);
  gaugeBar->setMaximum(steps + 1);
  gaugeBar->setValue(1);
  adjustSize();
  CenterOnMain(*this);
  show();
}

bool frmRWState::IncBar(int count) {
  const int value = std::clamp(gaugeBar->value() + count, 0, gaugeBar->maximum());
  gaugeBar->setValue(value);
  show();
  return !m_cancelled;
}

void frmRWState::closeEvent(QCloseEvent* event) {
  // The operation unloads the dialog; the close box only asks it to stop.
  m_cancelled = true;
  event->ignore();
}

void frmRWState::reject() { m_cancelled = true; }

// ---- frmAbout -------------------------------------------------------------

frmAbout::frmAbout(bool echo, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  lblProgram = Named(new QLabel, QStringLiteral("lblProgram"));
  QFont big = lblProgram->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  lblProgram->setFont(big);
  lblVersion = Named(new QLabel, QStringLiteral("lblVersion"));
  lblVersionNum = Named(new QLabel, QStringLiteral("lblVersionNum"));
  lblSoftware = Named(new QLabel, QStringLiteral("lblSoftware"));
  lblCopyright = Named(new QLabel, QStringLiteral("lblCopyright"));
  auto* credits = new QLabel(QStringLiteral("Varem electronic"));
  lblNotice = Named(new QLabel, QStringLiteral("lblNotice"));
  btOK = Button("btOK");
  btOK->setDefault(true);
  auto* version = new QHBoxLayout;
  version->addWidget(lblVersion);
  version->addWidget(lblVersionNum);
  version->addStretch();
  auto* frame = new QGroupBox;
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(lblProgram);
  frameLayout->addLayout(version);
  frameLayout->addWidget(lblSoftware);
  frameLayout->addWidget(credits);
  frameLayout->addWidget(lblNotice);
  frameLayout->addWidget(lblCopyright);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addLayout(ButtonRow({btOK}));
  SetLanguage();
  // The application title as the language file gives it.
  lblProgram->setText(MainText("frmMain"));
  lblVersionNum->setText(QStringLiteral(RKT_VERSION_STRING) + (echo ? QStringLiteral("e") : QString()));
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::SetLanguage() {
  setWindowTitle(UiText("frmAbout", "frmAbout"));
  lblVersion->setText(UiText("frmAbout", "lblVersion"));
  lblSoftware->setText(UiText("frmAbout", "lblSoftware"));
  lblCopyright->setText(UiText("frmAbout", "lblCopyright"));
  lblNotice->setText(QStringLiteral("\u00A9 ") + UiText("frmAbout", "lblNotice"));
  btOK->setText(UiText("frmAbout", "btOk"));
}

// ---- frmOptions -----------------------------------------------------------

frmOptions::frmOptions(OptionsBackend& backend, QWidget* parent) : QDialog(parent), m_backend(backend) {
  setObjectName(QStringLiteral("frmOptions"));
  framePort = Named(new QGroupBox, QStringLiteral("framePort"));
  cmbPorts = Named(new QComboBox, QStringLiteral("cmbPorts"));
  cmbPorts->setEditable(true);  // a device path the list does not know can be typed
  chkSensor = Named(new QCheckBox, QStringLiteral("chkSensor"));
  chkTooltips = Named(new QCheckBox, QStringLiteral("chkTooltips"));
  chkOverview = Named(new QCheckBox, QStringLiteral("chkOverview"));
  chkTrace = Named(new QCheckBox, QStringLiteral("chkTrace"));
  chkPreview = Named(new QCheckBox, QStringLiteral("chkPreview"));
  lblTraceFile = Named(new QLabel, QStringLiteral("lblTraceFile"));
  lblTraceFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblTraceFile->setTextFormat(Qt::PlainText);
  lblTraceFile->setIndent(20);
  lblHistoryDb = Named(new QLabel, QStringLiteral("lblHistoryDb"));
  txtHistoryDb = Named(new QLineEdit, QStringLiteral("txtHistoryDb"));
  lblHistoryDb->setBuddy(txtHistoryDb);
  frameSprache = Named(new QGroupBox, QStringLiteral("frameSprache"));
  cmbLanguage = Named(new QComboBox, QStringLiteral("cmbLanguage"));
  btOK = Button("btOK");
  btHelp = Button("btHelp");
  btCancel = Button("btCancel");
  btOK->setDefault(true);
  auto* portLayout = new QVBoxLayout(framePort);
  portLayout->addWidget(cmbPorts);
  auto* langLayout = new QVBoxLayout(frameSprache);
  langLayout->addWidget(cmbLanguage);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(framePort);
  layout->addWidget(chkSensor);
  layout->addWidget(chkTooltips);
  layout->addWidget(chkOverview);
  layout->addWidget(chkTrace);
  layout->addWidget(lblTraceFile);
  layout->addWidget(chkPreview);
  layout->addWidget(lblHistoryDb);
  layout->addWidget(txtHistoryDb);
  layout->addWidget(frameSprache);
  layout->addLayout(ButtonRow({btOK, btCancel, btHelp}));
  SetLanguage();

  chkSensor->setChecked(m_backend.Detection() == 1);
  chkTooltips->setChecked(m_backend.Tooltips());
  cmbPorts->addItems(m_backend.Ports());
  const QString current = m_backend.CurrentPort();
  if (SelectComboText(cmbPorts, current) < 0 && !current.isEmpty()) cmbPorts->setEditText(current);
  cmbLanguage->addItems(m_backend.Languages());
  cmbLanguage->setCurrentIndex(m_backend.CurrentLanguage());
  chkOverview->setChecked(m_backend.OverviewShown() == 1);
  chkTrace->setChecked(m_backend.Trace());
  chkPreview->setChecked(m_backend.WritePreview());
  lblTraceFile->setText(m_backend.TraceFile());
  txtHistoryDb->setText(m_backend.HistoryDb());
  txtHistoryDb->setPlaceholderText(m_backend.DefaultHistoryDb());

  // A language is taken at once (Cancel keeps it); the dialog follows.
  connect(cmbLanguage, &QComboBox::activated, this, [this](int index) {
    m_backend.SelectLanguage(index);
    SetLanguage();
  });
  connect(btOK, &QPushButton::clicked, this, &frmOptions::OnOk);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btHelp, &QPushButton::clicked, this, [] { ShowHelp(200); });
}

void frmOptions::SetLanguage() {
  setWindowTitle(UiText("frmOptions", "frmOptions"));
  framePort->setTitle(UiText("frmOptions", "framePort"));
  // The port field and the line that takes a typed device path.
  for (QWidget* port : {static_cast<QWidget*>(cmbPorts), static_cast<QWidget*>(cmbPorts->lineEdit())})
    port->setAccessibleName(AccessibleText(framePort->title()));
  chkSensor->setText(UiText("frmOptions", "chkSensor"));
  chkTooltips->setText(UiText("frmOptions", "chkTooltips"));
  chkOverview->setText(UiText("frmOptions", "chkOverview"));
  chkTrace->setText(UiText("frmOptions", "chkTrace"));
  chkPreview->setText(UiText("frmOptions", "chkPreview"));
  frameSprache->setTitle(UiText("frmOptions", "frameSprache"));
  lblHistoryDb->setText(UiText("frmOptions", "lblHistoryDb"));
  txtHistoryDb->setAccessibleName(AccessibleText(lblHistoryDb->text()));
  btOK->setText(UiText("frmOptions", "btOK"));
  btHelp->setText(UiText("frmOptions", "btHelp"));
  btCancel->setText(UiText("frmOptions", "btCancel"));
}

void frmOptions::OnOk() {
  m_backend.SetDetection(chkSensor->isChecked() ? 1 : 0);
  m_backend.SetTooltips(chkTooltips->isChecked());
  m_backend.OpenPort(cmbPorts->currentText().trimmed());
  m_backend.SetOverviewShown(chkOverview->isChecked() ? 1 : 0);
  m_backend.SetTrace(chkTrace->isChecked());
  m_backend.SetWritePreview(chkPreview->isChecked());
  m_backend.SetHistoryDb(txtHistoryDb->text().trimmed());
  accept();
}

}  // namespace rkt
