#include "ui/parameter_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "model/data_set.h"
#include "model/panel_rules.h"
#include "model/value_conversions.h"
#include "output/picture.h"
#include "ui/accessibility.h"
#include "ui/combo_utils.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QScrollBar* TimeBar(const char* name, int min, int max) {
  auto* bar = Named(new QScrollBar(Qt::Horizontal), name);
  bar->setRange(min, max);
  bar->setSingleStep(1);
  bar->setPageStep(10);
  bar->setMinimumWidth(150);
  // Reached with Tab: arrows move one step, Page Up/Down ten, Home/End to the ends.
  bar->setFocusPolicy(Qt::StrongFocus);
  // A scroll bar turns its keys round for documents; a value bar must not:
  // Right and Page Up raise the value.
  bar->setInvertedControls(false);
  return bar;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The number in a typed value, without its unit; a decimal comma counts as a point.
QString Number(QString text) {
  text.remove(QStringLiteral("ms")).remove(QLatin1Char('s')).remove(QLatin1Char('%'));
  return text.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
}

int ParseTenths(const QString& text, bool* ok) { return qRound(Number(text).toDouble(ok) * 10); }
int ParseMilliseconds(const QString& text, bool* ok) { return qRound(Number(text).toDouble(ok)); }
int ParsePercent(const QString& text, bool* ok) {
  return qRound(Number(text).toDouble(ok) * kSensitivityMax / 100.0);
}
QString ShowTenths(int raw) { return Q(FormatTenths(raw)); }
QString ShowMilliseconds(int raw) { return Q(FormatMilliseconds(raw)); }
QString ShowPercent(int raw) { return Q(FormatSensitivity(raw)); }

// The spin box follows its bar (value, range, enabled state) and the other way round.
UnitSpinBox* BindSpin(QScrollBar* bar, const char* name, UnitSpinBox::Format format, UnitSpinBox::Parse parse) {
  auto* spin = Named(new UnitSpinBox, name);
  spin->SetUnit(std::move(format), std::move(parse));
  spin->setRange(bar->minimum(), bar->maximum());
  spin->setValue(bar->value());
  spin->setEnabled(bar->isEnabled());
  QObject::connect(bar, &QScrollBar::valueChanged, spin, &QSpinBox::setValue);
  QObject::connect(spin, &QSpinBox::valueChanged, bar, &QScrollBar::setValue);
  QObject::connect(bar, &QScrollBar::rangeChanged, spin, &QSpinBox::setRange);
  return spin;
}

// Picture names keep the historic scheme: "TIMEFUNCTION1" or
// "TIMEFUNCTION2", the size suffix ("" or "1"), then the state. The drawings
// are scalable, so both sizes share one file.
QString PictureFile(const QString& name) {
  static const char* const kFunction1[] = {"timefunction1_off", "timefunction1_on"};
  static const char* const kFunction2[] = {"timefunction2_off", "timefunction2_offdelay", "timefunction2_pulse",
                                           "timefunction2_wiper"};
  const int state = name.right(1).toInt();
  const bool second = name.startsWith(QStringLiteral("TIMEFUNCTION2"));
  const char* file = second ? kFunction2[std::clamp(state, 0, 3)] : kFunction1[std::clamp(state, 0, 1)];
  return QStringLiteral(":/timefunctions/%1.svg").arg(QLatin1String(file));
}

}  // namespace

UnitSpinBox::UnitSpinBox(QWidget* parent) : QSpinBox(parent) {
  // The value counts when typing ends (Enter, Tab), not at every digit.
  setKeyboardTracking(false);
  setAccelerated(true);
}

void UnitSpinBox::SetUnit(Format format, Parse parse) {
  m_format = std::move(format);
  m_parse = std::move(parse);
  lineEdit()->setText(textFromValue(value()));
  updateGeometry();
}

QString UnitSpinBox::textFromValue(int value) const { return m_format ? m_format(value) : QString::number(value); }

int UnitSpinBox::valueFromText(const QString& text) const {
  bool ok = false;
  const int v = m_parse ? m_parse(text, &ok) : text.toInt(&ok);
  return ok ? std::clamp(v, minimum(), maximum()) : value();
}

QValidator::State UnitSpinBox::validate(QString& input, int& /*pos*/) const {
  for (const QChar c : input)
    if (!c.isDigit() && !c.isSpace() && !QStringLiteral(".,ms%").contains(c)) return QValidator::Invalid;
  bool ok = false;
  const int v = m_parse ? m_parse(input, &ok) : input.toInt(&ok);
  return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void UnitSpinBox::fixup(QString& input) const {
  // Only called for input the validator did not accept. Queued: the box is
  // still in the middle of taking the input back.
  const QString typed = input.trimmed();
  if (typed.isEmpty()) return;
  auto* self = const_cast<UnitSpinBox*>(this);
  QMetaObject::invokeMethod(self, [self, typed] { emit self->InputRejected(typed); }, Qt::QueuedConnection);
}

bool ParameterPanel::eventFilter(QObject* watched, QEvent* event) {
  // A spin box is usable exactly when its bar is.
  if (event->type() == QEvent::EnabledChange) {
    const std::pair<QScrollBar*, QSpinBox*> pairs[] = {
        {scrlSensitivity, spnSensitivity}, {scrlEinschalt, spnEinschalt}, {scrlAusgang, spnAusgang}};
    for (const auto& [bar, spin] : pairs)
      if (watched == bar) spin->setEnabled(bar->isEnabled());
  }
  return QWidget::eventFilter(watched, event);
}

ParameterPanel::ParameterPanel(DataSet& ds, QWidget* parent) : QWidget(parent), m_ds(ds) {
  setObjectName(QStringLiteral("picSensorPar"));
  BuildControls();
  ApplyTexts();
  ConnectEvents();
  SetTabOrder();
  for (QScrollBar* bar : {scrlSensitivity, scrlEinschalt, scrlAusgang}) bar->installEventFilter(this);
  // Typed values the box cannot take are said, with the range it allows.
  for (UnitSpinBox* spin : {spnSensitivity, spnEinschalt, spnAusgang})
    connect(spin, &UnitSpinBox::InputRejected, this, [this, spin](const QString& typed) {
      emit InputRejected(MainText("StatusOutOfRange")
                             .arg(typed, spin->textFromValue(spin->minimum()), spin->textFromValue(spin->maximum())));
    });
}

void ParameterPanel::SetTabOrder() {
  // Reading order: the left column top to bottom, then the right one.
  const QWidget* order[] = {cmbInput,        chkInputInv,     scrlSensitivity,   spnSensitivity,    cmbSingleOutput,
                            cmbOutput,       cmbInputOutput,  chkAlarmOutput,    rdOutputType[0],   rdOutputType[1],
                            rdOutputType[2], chkProgramLock,  cmbKeyboardlock,   cmbPulse,          cmbSchaltfrequenz,
                            cmbHysteresis,   chkTimefunction1, scrlEinschalt,    spnEinschalt,      chkTimefunction2,
                            rdTimefunction2[0], rdTimefunction2[1], rdTimefunction2[2], scrlAusgang, spnAusgang};
  for (std::size_t i = 1; i < std::size(order); ++i)
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void ParameterPanel::BuildControls() {
  frameInput = Named(new QGroupBox, "frameInput");
  cmbInput = Named(new QComboBox, "cmbInput");
  chkInputInv = Named(new QCheckBox, "chkInputInv");
  auto* inputLayout = new QVBoxLayout(frameInput);
  inputLayout->addWidget(cmbInput);
  inputLayout->addWidget(chkInputInv);

  frameSensitivity = Named(new QGroupBox, "frameSensitivity");
  scrlSensitivity = TimeBar("scrlSensitivity", kSensitivityMin, kSensitivityMax);
  lblSensitivity = Named(new QLabel(QStringLiteral("100%")), "lblSensitivity");
  lblSensitivity->setMinimumWidth(lblSensitivity->fontMetrics().horizontalAdvance(QStringLiteral("100% ")));
  lblSensitivity->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  spnSensitivity = BindSpin(scrlSensitivity, "spnSensitivity", ShowPercent, ParsePercent);
  auto* sensLayout = new QHBoxLayout(frameSensitivity);
  sensLayout->addWidget(scrlSensitivity, 1);
  sensLayout->addWidget(spnSensitivity);
  sensLayout->addWidget(lblSensitivity);

  frameOutput = Named(new QGroupBox, "frameOutput");
  cmbSingleOutput = Named(new QComboBox, "cmbSingleOutput");
  chkOutputInv = Named(new QCheckBox, "chkOutputInv");
  chkOutputInv->hide();  // neither filled nor read back: kept only as a caption holder
  picOutputType = Named(new QWidget, "picOutputType");
  auto* typeLayout = new QHBoxLayout(picOutputType);
  typeLayout->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 3; ++i) {
    rdOutputType[static_cast<std::size_t>(i)] = Named(new QRadioButton, ("rdOutputType" + std::to_string(i)).c_str());
    rdOutputType[static_cast<std::size_t>(i)]->setProperty("index", i);
    typeLayout->addWidget(rdOutputType[static_cast<std::size_t>(i)]);
  }
  typeLayout->addStretch();
  lblFunction = Named(new QLabel, "lblFunction");
  cmbOutput = Named(new QComboBox, "cmbOutput");
  chkAlarmOutput = Named(new QCheckBox, "chkAlarmOutput");
  cmbInputOutput = Named(new QComboBox, "cmbInputOutput");
  auto* outLayout = new QVBoxLayout(frameOutput);
  outLayout->addWidget(cmbSingleOutput);
  outLayout->addWidget(cmbOutput);
  outLayout->addWidget(cmbInputOutput);
  outLayout->addWidget(chkAlarmOutput);
  outLayout->addWidget(chkOutputInv);
  outLayout->addWidget(lblFunction);
  outLayout->addWidget(picOutputType);
  outLayout->addStretch();

  frameGeneral = Named(new QGroupBox, "frameGeneral");
  lblProgramLock = Named(new QLabel, "lblProgramLock");
  chkProgramLock = Named(new QCheckBox, "chkProgramLock");
  cmbProgramlock = Named(new QComboBox(this), "cmbProgramlock");
  cmbProgramlock->hide();  // holds the overview's "gesperrt" text only; owned, never laid out
  lblKeyboardLock = Named(new QLabel, "lblKeyboardLock");
  cmbKeyboardlock = Named(new QComboBox, "cmbKeyboardlock");
  lblPulse = Named(new QLabel, "lblPulse");
  cmbPulse = Named(new QComboBox, "cmbPulse");
  lblSwitchfrequency = Named(new QLabel, "lblSwitchfrequency");
  cmbSchaltfrequenz = Named(new QComboBox, "cmbSchaltfrequenz");
  lblHysteresis = Named(new QLabel, "lblHysteresis");
  cmbHysteresis = Named(new QComboBox, "cmbHysteresis");
  auto* general = new QGridLayout(frameGeneral);
  const std::pair<QLabel*, QWidget*> rows[] = {{lblProgramLock, chkProgramLock},
                                               {lblKeyboardLock, cmbKeyboardlock},
                                               {lblPulse, cmbPulse},
                                               {lblSwitchfrequency, cmbSchaltfrequenz},
                                               {lblHysteresis, cmbHysteresis}};
  for (int r = 0; r < 5; ++r) {
    general->addWidget(rows[r].first, r, 0);
    general->addWidget(rows[r].second, r, 1);
    rows[r].first->setBuddy(rows[r].second);
  }
  general->setColumnStretch(1, 1);

  frameTimefunction = Named(new QGroupBox, "frameTimefunction");
  chkTimefunction1 = Named(new QCheckBox, "chkTimefunction1");
  scrlEinschalt = TimeBar("scrlEinschalt", kTimeMin, kTimeMax);
  lblEinschalt = Named(new QLabel(QStringLiteral("0.0 s")), "lblEinschalt");
  imgTimefunction1 = Named(new PictureView, "imgTimefunction1");
  chkTimefunction2 = Named(new QCheckBox, "chkTimefunction2");
  for (int i = 0; i < 3; ++i) {
    rdTimefunction2[static_cast<std::size_t>(i)] = Named(new QRadioButton, ("rdTimefunction2" + std::to_string(i)).c_str());
    rdTimefunction2[static_cast<std::size_t>(i)]->setProperty("index", i);
    rdTimefunction2[static_cast<std::size_t>(i)]->setAutoExclusive(false);
  }
  scrlAusgang = TimeBar("scrlAusgang", kTimeMin, kTimeMax);
  lblAusgang = Named(new QLabel(QStringLiteral("0.0 s")), "lblAusgang");
  const int labelWidth = lblEinschalt->fontMetrics().horizontalAdvance(QStringLiteral("255 ms  "));
  lblEinschalt->setMinimumWidth(labelWidth);
  lblAusgang->setMinimumWidth(labelWidth);
  imgTimefunction2 = Named(new PictureView, "imgTimefunction2");
  for (PictureView* img : {imgTimefunction1, imgTimefunction2}) img->setFixedSize(128, 64);

  spnEinschalt = BindSpin(scrlEinschalt, "spnEinschalt", ShowTenths, ParseTenths);
  spnAusgang = BindSpin(scrlAusgang, "spnAusgang", ShowMilliseconds, ParseMilliseconds);
  // Wide enough for either unit: the second time switches between them.
  const int timeWidth = std::max(spnEinschalt->sizeHint().width(), spnAusgang->sizeHint().width());
  spnEinschalt->setMinimumWidth(timeWidth);
  spnAusgang->setMinimumWidth(timeWidth);
  spnAusgang->SetUnit(ShowTenths, ParseTenths);
  const auto timeRow = [](QScrollBar* bar, QSpinBox* spin, QLabel* label) {
    auto* row = new QHBoxLayout;
    row->addWidget(bar, 1);
    row->addWidget(spin);
    row->addWidget(label);
    return row;
  };

  auto* time = new QGridLayout(frameTimefunction);
  time->addWidget(chkTimefunction1, 0, 0, 1, 2);
  time->addLayout(timeRow(scrlEinschalt, spnEinschalt, lblEinschalt), 1, 0, 1, 2);
  time->addWidget(imgTimefunction1, 0, 2, 2, 1);
  time->addWidget(chkTimefunction2, 2, 0, 1, 2);
  auto* modes = new QVBoxLayout;
  for (QRadioButton* rd : rdTimefunction2) modes->addWidget(rd);
  time->addLayout(modes, 3, 0, 1, 2);
  time->addLayout(timeRow(scrlAusgang, spnAusgang, lblAusgang), 4, 0, 1, 2);
  time->addWidget(imgTimefunction2, 2, 2, 3, 1);
  time->setColumnStretch(0, 1);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(frameInput, 0, 0);
  grid->addWidget(frameSensitivity, 1, 0);
  grid->addWidget(frameOutput, 2, 0, 2, 1);
  grid->addWidget(frameGeneral, 0, 1, 2, 1);
  grid->addWidget(frameTimefunction, 2, 1, 2, 1);
  grid->setRowStretch(3, 1);

  for (QComboBox* combo : {cmbKeyboardlock, cmbHysteresis, cmbSingleOutput, cmbOutput, cmbProgramlock, cmbInputOutput})
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  SetPicture(imgTimefunction1, QStringLiteral("TIMEFUNCTION1") + m_suffix + QStringLiteral("0"));
  SetPicture(imgTimefunction2, QStringLiteral("TIMEFUNCTION2") + m_suffix + QStringLiteral("0"));
}

void ParameterPanel::ApplyTexts() {
  struct Caption {
    QWidget* widget;
    const char* key;
  };
  const Caption captions[] = {
      {frameInput, "frameInput"},
      {chkInputInv, "chkInputInv"},
      {frameSensitivity, "frameSensitivity"},
      {frameOutput, "frameOutput"},
      {chkAlarmOutput, "chkAlarmOutput"},
      {lblFunction, "lblFunction"},
      {frameGeneral, "frameGeneral"},
      {lblProgramLock, "lblProgramLock"},
      {chkProgramLock, "chkProgramLock"},
      {lblKeyboardLock, "lblKeyboardLock"},
      {lblPulse, "lblPulse"},
      {lblSwitchfrequency, "lblSwitchfrequency"},
      {lblHysteresis, "lblHysteresis"},
      {frameTimefunction, "frameTimefunction"},
      {chkTimefunction1, "chkTimefunction1"},
      {chkTimefunction2, "chkTimefunction2"},
  };
  for (const Caption& c : captions) {
    const QString text = MainText(c.key);
    if (auto* box = qobject_cast<QGroupBox*>(c.widget)) box->setTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(c.widget)) label->setText(text);
    else if (auto* check = qobject_cast<QAbstractButton*>(c.widget)) check->setText(text);
  }
  for (int i = 0; i < 3; ++i) {
    rdOutputType[static_cast<std::size_t>(i)]->setText(ListText(TextList::OutputType, i));
    rdTimefunction2[static_cast<std::size_t>(i)]->setText(ListText(TextList::TimeFunction2, i));
  }
  // A time's bar and spin box are named by the check box above them; else a
  // screen reader takes the group's title, the same for all four.
  const std::pair<QCheckBox*, std::array<QWidget*, 2>> times[] = {{chkTimefunction1, {scrlEinschalt, spnEinschalt}},
                                                                   {chkTimefunction2, {scrlAusgang, spnAusgang}}};
  for (const auto& [check, controls] : times)
    for (QWidget* control : controls) control->setAccessibleName(AccessibleText(check->text()));

  m_inputTexts.clear();
  for (int i = 0; i < static_cast<int>(BuiltinList(TextList::Input).size()); ++i)
    m_inputTexts << ListText(TextList::Input, i);
  m_switchingTexts.clear();
  for (int i = 0; i < static_cast<int>(BuiltinList(TextList::SwitchingFrequency).size()); ++i)
    m_switchingTexts << ListText(TextList::SwitchingFrequency, i);
  m_pulseTexts.clear();
  for (int i = 0; i < static_cast<int>(BuiltinList(TextList::Pulse).size()); ++i)
    m_pulseTexts << ListText(TextList::Pulse, i);

  // The rebuilt lists are as wide as their longest text in any sensor's
  // list, so the window keeps its size from one sensor to the next.
  for (QComboBox* combo : {cmbInput, cmbSchaltfrequenz, cmbPulse}) {
    const QStringList& texts =
        combo == cmbInput ? m_inputTexts : combo == cmbSchaltfrequenz ? m_switchingTexts : m_pulseTexts;
    qsizetype longest = 0;
    for (const QString& t : texts) longest = std::max(longest, t.size());
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(static_cast<int>(longest));
  }

  const bool wasFilling = m_filling;
  m_filling = true;  // re-texting lists must not count as user changes
  // Rebuilt lists: every item gets the text of its stored code.
  for (QComboBox* combo : {cmbInput, cmbSchaltfrequenz, cmbPulse}) {
    const QStringList& texts =
        combo == cmbInput ? m_inputTexts : combo == cmbSchaltfrequenz ? m_switchingTexts : m_pulseTexts;
    for (int i = 0; i < combo->count(); ++i) {
      const int code = combo == cmbPulse ? i : combo->itemData(i).toInt();
      if (code >= 0 && code < texts.size()) combo->setItemText(i, texts[code]);
    }
  }
  // Fixed lists: item k gets text k; created on the first call.
  const std::pair<QComboBox*, TextList> fixed[] = {{cmbSingleOutput, TextList::SingleOutput},
                                                   {cmbOutput, TextList::Output},
                                                   {cmbInputOutput, TextList::InputOutput},
                                                   {cmbKeyboardlock, TextList::KeyboardLock},
                                                   {cmbHysteresis, TextList::Hysteresis},
                                                   {cmbProgramlock, TextList::ProgramLock}};
  for (const auto& [combo, list] : fixed) {
    const int n = static_cast<int>(BuiltinList(list).size());
    for (int i = 0; i < n; ++i) {
      if (combo->count() <= i) combo->addItem(ListText(list, i), i);
      else combo->setItemText(i, ListText(list, i));
    }
  }
  m_filling = wasFilling;
}

void ParameterPanel::ConnectEvents() {
  for (QCheckBox* box : {chkAlarmOutput, chkInputInv, chkOutputInv})
    connect(box, &QCheckBox::clicked, this, &ParameterPanel::MarkChanged);
  for (QComboBox* combo : {cmbHysteresis, cmbKeyboardlock, cmbOutput, cmbPulse, cmbSchaltfrequenz, cmbSingleOutput})
    connect(combo, &QComboBox::activated, this, &ParameterPanel::MarkChanged);
  for (QRadioButton* rd : rdOutputType) connect(rd, &QRadioButton::clicked, this, &ParameterPanel::MarkChanged);

  connect(cmbInput, &QComboBox::currentIndexChanged, this, &ParameterPanel::OnInputChanged);
  connect(cmbInput, &QComboBox::activated, this, &ParameterPanel::MarkChanged);
  connect(cmbInputOutput, &QComboBox::currentIndexChanged, this, &ParameterPanel::OnInputOutputChanged);
  connect(cmbInputOutput, &QComboBox::activated, this, &ParameterPanel::MarkChanged);

  connect(chkProgramLock, &QCheckBox::toggled, this, [this](bool on) {
    if (m_filling) return;
    MarkChanged();
    if (on) emit ProgramLockTicked();
  });
  connect(chkTimefunction1, &QCheckBox::toggled, this, [this] {
    OnTimeFunction1Clicked();
    MarkChanged();
  });
  connect(chkTimefunction2, &QCheckBox::toggled, this, [this] {
    OnTimeFunction2Clicked();
    MarkChanged();
  });
  for (QRadioButton* rd : rdTimefunction2) {
    connect(rd, &QRadioButton::clicked, this, [this, rd] {
      // The three options form one group: a click selects exactly this one.
      for (QRadioButton* other : rdTimefunction2) other->setChecked(other == rd);
      SetPicture(imgTimefunction2, QStringLiteral("TIMEFUNCTION2") + m_suffix + QString::number(rd->property("index").toInt() + 1));
      UpdateAusgangLabel();
      MarkChanged();
    });
  }

  // Dragging the thumb only updates the label; the value counts as a change
  // when it settles (release, arrow or page click, keyboard).
  connect(scrlEinschalt, &QScrollBar::valueChanged, this, [this](int v) {
    lblEinschalt->setText(Q(FormatTenths(v)));
    if (!scrlEinschalt->isSliderDown()) MarkChanged();
  });
  connect(scrlEinschalt, &QScrollBar::sliderReleased, this, &ParameterPanel::MarkChanged);
  connect(scrlAusgang, &QScrollBar::valueChanged, this, [this] {
    UpdateAusgangLabel();
    if (!scrlAusgang->isSliderDown()) MarkChanged();
  });
  connect(scrlAusgang, &QScrollBar::sliderReleased, this, &ParameterPanel::MarkChanged);
  connect(scrlSensitivity, &QScrollBar::valueChanged, this, [this](int v) {
    lblSensitivity->setText(Q(FormatSensitivity(v)));
    MarkChanged();
  });
}

void ParameterPanel::MarkChanged() {
  if (!m_filling) m_ds.SetValue(ValueId::Changed, true);
}

void ParameterPanel::SetPicture(PictureView* img, const QString& name) {
  img->SetPicture(PictureFile(name));
  img->setProperty("picture", name);
}

void ParameterPanel::SetPictureSuffix(const QString& suffix) {
  m_suffix = suffix;
  const QSize size = suffix.isEmpty() ? QSize(96, 48) : QSize(128, 64);
  for (PictureView* img : {imgTimefunction1, imgTimefunction2}) img->setFixedSize(size);
}

int ParameterPanel::SelectedTimeFunction2Index() const {
  for (int i = 0; i < 3; ++i)
    if (rdTimefunction2[static_cast<std::size_t>(i)]->isChecked()) return i;
  return -1;
}

void ParameterPanel::UpdateAusgangLabel() {
  const int v = scrlAusgang->value();
  // An unselected group counts as index 0: tenths.
  const bool ms = SelectedTimeFunction2Index() > 0;
  lblAusgang->setText(Q(ms ? FormatMilliseconds(v) : FormatTenths(v)));
  if (ms) spnAusgang->SetUnit(ShowMilliseconds, ParseMilliseconds);
  else spnAusgang->SetUnit(ShowTenths, ParseTenths);
}

void ParameterPanel::OnInputChanged() { chkInputInv->setVisible(cmbInput->currentIndex() > 0); }

void ParameterPanel::OnInputOutputChanged() {
  const int d = cmbInputOutput->currentData().toInt();
  if (d >= 0 && d <= 2) {
    // The pin works as an output: no input function is possible.
    FindItemData(cmbInput, 0);
    SetInputEnabled(false);
  } else {
    SetInputEnabled(true);
  }
}

void ParameterPanel::OnTimeFunction1Clicked() {
  const bool on = chkTimefunction1->isChecked();
  lblEinschalt->setVisible(on);
  lblEinschalt->setEnabled(on);
  scrlEinschalt->setEnabled(on);
  SetPicture(imgTimefunction1, QStringLiteral("TIMEFUNCTION1") + m_suffix + (on ? "1" : "0"));
}

void ParameterPanel::OnTimeFunction2Clicked() {
  const bool on = chkTimefunction2->isChecked();
  lblAusgang->setVisible(on);
  lblAusgang->setEnabled(on);
  scrlAusgang->setEnabled(on);
  for (QRadioButton* rd : rdTimefunction2) {
    rd->setChecked(false);
    rd->setEnabled(on);
  }
  SetPicture(imgTimefunction2, QStringLiteral("TIMEFUNCTION2") + m_suffix + (on ? "1" : "0"));
  if (on) rdTimefunction2[0]->setChecked(true);
  UpdateAusgangLabel();
}

void ParameterPanel::SetInputEnabled(bool enabled) {
  frameInput->setEnabled(enabled);
  cmbInput->setEnabled(enabled);
  chkInputInv->setEnabled(enabled);
}

void ParameterPanel::SetSensitivityAvailable(bool available) {
  for (QWidget* w : std::initializer_list<QWidget*>{frameSensitivity, scrlSensitivity, lblSensitivity})
    w->setEnabled(available);
  if (!available) {
    const bool wasFilling = m_filling;
    m_filling = true;
    scrlSensitivity->setValue(0);
    lblSensitivity->clear();
    m_filling = wasFilling;
  }
}

void ParameterPanel::ShowSensitivity() {
  const bool wasFilling = m_filling;
  m_filling = true;
  const int v = m_ds.GetInt(ValueId::Sensitivity, kWorkingCopy);
  scrlSensitivity->setValue(v);
  // setValue fires no change when the value stays; the label must still show it.
  lblSensitivity->setText(Q(FormatSensitivity(scrlSensitivity->value())));
  m_filling = wasFilling;
}

void ParameterPanel::TakeSensitivity() {
  // Only a bar the user moved changes the byte: printing or exporting a
  // byte beyond the scale must not quietly rewrite it as the bar's top.
  if (frameSensitivity->isEnabled() && scrlSensitivity->value() != m_ds.GetInt(ValueId::Sensitivity, kWorkingCopy))
    m_ds.SetValue(ValueId::Sensitivity, scrlSensitivity->value());
}

void ParameterPanel::FillPanel(bool refreshOverview) {
  m_filling = true;
  const auto get = [&](ValueId id) { return m_ds.GetInt(id, kWorkingCopy); };
  // Which controls and items the type has, and what they select: the rule
  // the overview and the datasheet follow too.
  const ListCounts counts{static_cast<int>(m_inputTexts.size()), static_cast<int>(m_pulseTexts.size()),
                          static_cast<int>(m_switchingTexts.size())};
  const PanelLayout layout = LayoutFor(m_ds, kWorkingCopy, counts);
  const ShownSelection shown = ShownSelectionOf(m_ds, kWorkingCopy, counts);

  // Input.
  frameInput->setVisible(layout.input);
  if (layout.input) {
    chkInputInv->setChecked(get(ValueId::InputInverted) != 0);
    cmbInput->clear();
    for (const int code : layout.inputFunctions) cmbInput->addItem(m_inputTexts[code], code);
    FindItemData(cmbInput, shown.inputFunction, 0);
    OnInputChanged();
  }

  // Warning output.
  const bool warning = layout.output == OutputControl::Warning;
  cmbOutput->setVisible(warning);
  if (warning) cmbOutput->setCurrentIndex(shown.warningFunction);
  cmbSingleOutput->setVisible(layout.output == OutputControl::SingleOutput);
  if (layout.output == OutputControl::SingleOutput) cmbSingleOutput->setCurrentIndex(shown.darkSwitching);
  chkAlarmOutput->setVisible(layout.output == OutputControl::AlarmOutput);
  if (layout.output == OutputControl::AlarmOutput) chkAlarmOutput->setChecked(get(ValueId::AlarmInverted) >= 1);
  cmbInputOutput->setVisible(layout.output == OutputControl::InputOutput);
  if (layout.output == OutputControl::InputOutput) {
    FindItemData(cmbInputOutput, shown.inputOutput, 0);
    OnInputOutputChanged();
  } else {
    SetInputEnabled(true);
  }

  // Output type.
  rdOutputType[static_cast<std::size_t>(shown.outputType)]->setChecked(true);

  // Hysteresis.
  lblHysteresis->setEnabled(layout.hysteresis);
  cmbHysteresis->setEnabled(layout.hysteresis);
  cmbHysteresis->setCurrentIndex(shown.hysteresis);

  chkProgramLock->setChecked(get(ValueId::ProgramLock) > 0);

  // Time function 1.
  const bool tf1 = get(ValueId::TimeFunction1) >= 1;
  chkTimefunction1->setChecked(tf1);
  // The bar takes the stored time also while the function is off, so that
  // reading the panel back does not replace it with a stale value.
  const int t1 = get(ValueId::TimeValue1);
  scrlEinschalt->setValue(t1);
  OnTimeFunction1Clicked();
  lblEinschalt->setText(Q(FormatTenths(t1)));

  // Pulse frequency.
  cmbPulse->clear();
  for (const int i : layout.pulseFrequencies) cmbPulse->addItem(m_pulseTexts[i], i);
  cmbPulse->setEnabled(layout.pulse);
  lblPulse->setEnabled(layout.pulse);
  FindItemData(cmbPulse, shown.pulse, 0);

  // Switching frequency.
  cmbSchaltfrequenz->clear();
  for (const int i : layout.switchingFrequencies) cmbSchaltfrequenz->addItem(m_switchingTexts[i], i);
  FindItemData(cmbSchaltfrequenz, shown.switchingFrequency, 0);

  // Keyboard lock.
  cmbKeyboardlock->setEnabled(layout.keyboardLock);
  lblKeyboardLock->setEnabled(layout.keyboardLock);
  if (layout.keyboardLock) cmbKeyboardlock->setCurrentIndex(shown.keyboardLock);

  // Time function 2.
  const int tf2 = shown.timeFunction2;
  chkTimefunction2->setChecked(tf2 != 0);
  OnTimeFunction2Clicked();
  for (QRadioButton* rd : rdTimefunction2) rd->setChecked(false);
  if (tf2 > 0) rdTimefunction2[static_cast<std::size_t>(tf2 - 1)]->setChecked(true);
  SetPicture(imgTimefunction2, QStringLiteral("TIMEFUNCTION2") + m_suffix + QString::number(tf2));
  const int t2 = get(ValueId::TimeValue2);
  scrlAusgang->setValue(t2);
  UpdateAusgangLabel();

  if (refreshOverview) emit OverviewRefreshRequested();
  m_filling = false;
}

void ParameterPanel::ReadPanel() {
  m_ds.SaveBackup();
  const PanelLayout layout = LayoutFor(m_ds, kWorkingCopy);
  int outputType = 0;
  for (int i = 0; i < 3; ++i)
    if (rdOutputType[static_cast<std::size_t>(i)]->isChecked()) outputType = i;
  m_ds.SetValue(ValueId::OutputType, outputType);
  m_ds.SetValue(ValueId::ProgramLock, chkProgramLock->isChecked() ? 1 : 0);
  if (!frameInput->isHidden()) {
    m_ds.SetValue(ValueId::InputInverted, chkInputInv->isChecked() ? 1 : 0);
    // With no selection the input function stays as it is.
    if (cmbInput->currentIndex() >= 0) m_ds.SetValue(ValueId::InputFunction, cmbInput->currentData().toInt());
  }
  m_ds.SetValue(ValueId::TimeFunction1, chkTimefunction1->isChecked() ? 1 : 0);
  m_ds.SetValue(ValueId::TimeValue1, scrlEinschalt->value());
  if (cmbSchaltfrequenz->currentIndex() >= 0)
    m_ds.SetValue(ValueId::SwitchingFrequency, cmbSchaltfrequenz->currentData().toInt());
  if (layout.pulse && cmbPulse->currentIndex() >= 0)
    m_ds.SetValue(ValueId::PulseFrequency, cmbPulse->currentData().toInt());
  if (!cmbSingleOutput->isHidden()) m_ds.SetValue(ValueId::DarkSwitching, cmbSingleOutput->currentIndex());
  if (!cmbOutput->isHidden()) m_ds.SetValue(ValueId::WarningFunction, cmbOutput->currentIndex());
  if (!chkAlarmOutput->isHidden()) m_ds.SetValue(ValueId::AlarmInverted, chkAlarmOutput->isChecked() ? 1 : 0);
  if (!cmbInputOutput->isHidden() && cmbInputOutput->currentIndex() >= 0)
    m_ds.SetValue(ValueId::InputOutputMode, cmbInputOutput->currentData().toInt());
  if (layout.keyboardLock) m_ds.SetValue(ValueId::KeyboardLock, cmbKeyboardlock->currentIndex());
  const int mode = SelectedTimeFunction2Index();
  m_ds.SetValue(ValueId::TimeFunction2, chkTimefunction2->isChecked() ? std::max(mode, 0) + 1 : 0);
  m_ds.SetValue(ValueId::TimeValue2, scrlAusgang->value());
  if (layout.hysteresis) m_ds.SetValue(ValueId::Hysteresis, cmbHysteresis->currentIndex());
}

}  // namespace rkt
