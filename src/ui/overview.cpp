#include "ui/overview.h"

#include <QGridLayout>
#include <QLabel>

#include "model/data_set.h"
#include "model/panel_rules.h"
#include "model/value_conversions.h"
#include "ui/ui_text.h"

namespace rkt {

QStringList OverviewLines(const DataSet& ds, bool sensitivityAvailable) {
  // The read copy, unless a data code replaced what the window shows since.
  const Copy copy = ds.DescribedCopy();
  const auto get = [&](ValueId id) { return ds.GetInt(id, copy); };
  // What the panel would select for the read copy: one rule for both.
  const ListCounts counts{static_cast<int>(BuiltinList(TextList::Input).size()),
                          static_cast<int>(BuiltinList(TextList::Pulse).size()),
                          static_cast<int>(BuiltinList(TextList::SwitchingFrequency).size())};
  const PanelLayout layout = LayoutFor(ds, copy, counts);
  const ShownSelection shown = ShownSelectionOf(ds, copy, counts);
  const QString sep = QStringLiteral(": ");
  QStringList lines;

  lines << MainText("lblSwitchfrequency") + sep + ListText(TextList::SwitchingFrequency, shown.switchingFrequency);
  if (layout.pulse) lines << MainText("lblPulse") + sep + ListText(TextList::Pulse, shown.pulse);
  if (layout.hysteresis) lines << MainText("lblHysteresis") + sep + ListText(TextList::Hysteresis, shown.hysteresis);
  if (layout.keyboardLock)
    lines << MainText("lblKeyboardLock") + sep + ListText(TextList::KeyboardLock, shown.keyboardLock);
  if (get(ValueId::ProgramLock) == 1)
    lines << MainText("lblProgramLock") + " " + ListText(TextList::ProgramLock, 1);

  const QString output = MainText("frameOutput") + sep;
  switch (layout.output) {
    case OutputControl::SingleOutput:
      lines << output + ListText(TextList::SingleOutput, shown.darkSwitching);
      break;
    case OutputControl::InputOutput:
      lines << output + ListText(TextList::InputOutput, shown.inputOutput);
      break;
    case OutputControl::AlarmOutput:
      if (get(ValueId::AlarmInverted) != 0) lines << output + MainText("chkAlarmOutput");
      break;
    case OutputControl::Warning:
      lines << output + ListText(TextList::Output, shown.warningFunction);
      break;
  }
  lines << MainText("lblFunction") + sep + ListText(TextList::OutputType, shown.outputType);

  if (layout.input) {
    lines << MainText("frameInput") + sep + ListText(TextList::Input, shown.inputFunction);
    // Only a function other than the list's first ("keine") can be inverted.
    if (shown.inputFunction != 0 && get(ValueId::InputInverted) != 0) lines << MainText("chkInputInv");
  }

  const QString tf1 = MainText("chkTimefunction1") + sep;
  lines << tf1 + (get(ValueId::TimeFunction1) < 1 ? QStringLiteral(" 0.0 s")
                                                  : " " + QString::fromStdString(FormatTenths(get(ValueId::TimeValue1))));
  const int m = shown.timeFunction2;
  QString tf2 = MainText("chkTimefunction2") + sep;
  if (m >= 1) tf2 += ListText(TextList::TimeFunction2, m - 1);
  if (m < 1) {
    tf2 += QStringLiteral(" 0.0 s");
  } else {
    tf2 += " " + QString::fromStdString(FormatTimeValue2(get(ValueId::TimeValue2), m));
  }
  lines << tf2;
  if (sensitivityAvailable)
    lines << MainText("frameSensitivity") + sep + QString::fromStdString(FormatSensitivity(get(ValueId::Sensitivity)));
  return lines;
}

OverviewBlock::OverviewBlock(QWidget* parent) : QGroupBox(parent) {
  setObjectName(QStringLiteral("frameBlock"));
  auto* grid = new QGridLayout(this);
  grid->setVerticalSpacing(1);
  for (int i = 0; i < kRows; ++i) {
    auto* bullet = new QLabel(QStringLiteral("\u2022"));
    bullet->setObjectName(QStringLiteral("imgBullet%1").arg(i));
    auto* text = new QLabel;
    text->setObjectName(QStringLiteral("lblBL%1").arg(i));
    text->setTextFormat(Qt::PlainText);
    // Two columns of six, so the block stays low above the panel.
    grid->addWidget(bullet, i % 6, (i / 6) * 2);
    grid->addWidget(text, i % 6, (i / 6) * 2 + 1);
    imgBullet[static_cast<std::size_t>(i)] = bullet;
    lblBL[static_cast<std::size_t>(i)] = text;
    bullet->hide();
    text->hide();
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  // Room for six rows even before the first refresh, so the window keeps its size.
  setMinimumHeight(sizeHint().height() + 6 * fontMetrics().height());
}

void OverviewBlock::SetOverviewEnabled(int n) {
  const bool enabled = n > 0;
  if (isEnabled() == enabled) return;
  setEnabled(enabled);
}

void OverviewBlock::RefreshOverview(const DataSet& ds, bool sensitivityAvailable) {
  SetOverviewEnabled(1);
  const QStringList lines = OverviewLines(ds, sensitivityAvailable);
  for (int k = 0; k < kRows; ++k) {
    const bool used = k < lines.size();
    const QString text = used ? lines[k] : QString();
    lblBL[static_cast<std::size_t>(k)]->setText(text);
    const bool show = used && !text.trimmed().isEmpty();
    lblBL[static_cast<std::size_t>(k)]->setVisible(show);
    imgBullet[static_cast<std::size_t>(k)]->setVisible(show);
  }
}

}  // namespace rkt
