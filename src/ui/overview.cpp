#include "ui/overview.h"

#include <QGridLayout>
#include <QLabel>

#include "model/data_set.h"
#include "model/panel_rules.h"
#include "model/value_conversions.h"
#include "ui/ui_text.h"

namespace rkt {

QStringList OverviewLines(const DataSet& ds, bool sensitivityAvailable) {
  const auto get = [&](ValueId id) { return ds.GetInt(id, kReadCopy); };
  const int mask = get(ValueId::FeatureMask);
  const int variant = get(ValueId::VersionPart3);
  const int ver = get(ValueId::VersionPart1);
  const QString sep = QStringLiteral(": ");
  QStringList lines;

  const int frequency = ShownItem(OfferedSwitchingFrequencies(ver, get(ValueId::TypeCode)), get(ValueId::SwitchingFrequency));
  lines << MainText("lblSwitchfrequency") + sep + ListText(TextList::SwitchingFrequency, frequency);
  if ((mask & 64) == 0)
    lines << MainText("lblPulse") + sep + ListText(TextList::Pulse, get(ValueId::PulseFrequency));
  if ((mask & 2) == 0)
    lines << MainText("lblHysteresis") + sep + ListText(TextList::Hysteresis, get(ValueId::Hysteresis));
  if ((mask & 8) == 0)
    lines << MainText("lblKeyboardLock") + sep + ListText(TextList::KeyboardLock, get(ValueId::KeyboardLock));
  if (get(ValueId::ProgramLock) == 1)
    lines << MainText("lblProgramLock") + " " + ListText(TextList::ProgramLock, 1);

  const QString output = MainText("frameOutput") + sep;
  if (variant == 3) {
    lines << output + ListText(TextList::SingleOutput, get(ValueId::DarkSwitching));
  } else if (variant == 5) {
    lines << output + ListText(TextList::InputOutput, get(ValueId::InputOutputMode));
  } else if (variant == 6) {
    if (get(ValueId::AlarmInverted) != 0) lines << output + MainText("chkAlarmOutput");
  } else {
    lines << output + ListText(TextList::Output, get(ValueId::WarningFunction));
  }
  lines << MainText("lblFunction") + sep + ListText(TextList::OutputType, get(ValueId::OutputType));

  if (variant != 4) {
    const int input = ShownItem(OfferedInputFunctions(ver, variant, mask), get(ValueId::InputFunction));
    lines << MainText("frameInput") + sep + ListText(TextList::Input, input);
    // Only a function other than the list's first ("keine") can be inverted.
    if (input != 0 && get(ValueId::InputInverted) != 0) lines << MainText("chkInputInv");
  }

  const QString tf1 = MainText("chkTimefunction1") + sep;
  lines << tf1 + (get(ValueId::TimeFunction1) < 1 ? QStringLiteral(" 0.0 s")
                                                  : " " + QString::fromStdString(FormatTenths(get(ValueId::TimeValue1))));
  const int m = get(ValueId::TimeFunction2);
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
