#include <gtest/gtest.h>

#include <QLabel>

#include "model/data_set.h"
#include "ui/overview.h"
#include "ui_test_support.h"

namespace rkt {
namespace {

TEST(Overview, TypeWithoutHysteresisPulseAndInputGivesSixRows) {
  DataSet ds;
  // Type 15 lacks hysteresis and pulse selection; variant 4 has no input.
  test::SetIdent(ds, 4, 4, 15, kReadCopy);
  ds.Param(kReadCopy, param::kInput) = 0x04;  // programming allowed
  ds.Param(kReadCopy, param::kSwitchingFrequency) = 9;
  const QStringList lines = OverviewLines(ds, false);
  ASSERT_EQ(lines.size(), 6) << lines.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("Störfilterung: 500 Hz  --> 1 ms"));
  EXPECT_EQ(lines[1], QStringLiteral("Tastaturverriegelung: aus"));
  EXPECT_EQ(lines[2], QStringLiteral("Ausgangsfunktion: Warnausgang"));
  EXPECT_EQ(lines[3], QStringLiteral("Funktion des Warnausgangs: abgeschaltet"));
  EXPECT_EQ(lines[4], QStringLiteral("Einschaltverzögerung:  0.0 s"));
  EXPECT_EQ(lines[5], QStringLiteral("Ausschaltzeit:  0.0 s"));
}

TEST(Overview, TimeRowsAndOptionalLines) {
  DataSet ds;
  test::SetIdent(ds, 4, 2, 1, kReadCopy);
  ds.Param(kReadCopy, param::kSwitchingFrequency) = 5;
  QStringList lines = OverviewLines(ds, false);
  EXPECT_TRUE(lines.contains(QStringLiteral("Einschaltverzögerung:  0.0 s")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Ausschaltzeit:  0.0 s"))) << "two blanks after the colon";
  EXPECT_TRUE(lines.contains(QStringLiteral("Parametrierung gesperrt"))) << "bit 2 clear means locked";

  ds.Param(kReadCopy, param::kFunctions) = 0x08;  // wiper
  ds.Param(kReadCopy, param::kTimeValue2) = 40;
  ds.Param(kReadCopy, param::kInput) = 0x04 | 0x40 | 0x01;  // UND, inverted
  lines = OverviewLines(ds, true);
  EXPECT_TRUE(lines.contains(QStringLiteral("Ausschaltzeit: Wischerfunktion 40 ms")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Eingangsfunktion: UND-Verknüpfung")));
  EXPECT_TRUE(lines.contains(QStringLiteral("negative Logik")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Empfindlichkeit: 0%")));
  EXPECT_FALSE(lines.contains(QStringLiteral("Parametrierung gesperrt")));

  ds.Param(kReadCopy, param::kFunctions) = 0x02;  // off-delay
  lines = OverviewLines(ds, false);
  EXPECT_TRUE(lines.contains(QStringLiteral("Ausschaltzeit: Ausschaltverzögerung 4.0 s")));
}

TEST(Overview, ShowsTheReadCopyAndHidesUnusedRows) {
  DataSet ds;
  test::SetIdent(ds, 4, 4, 15, kReadCopy);
  ds.Param(kReadCopy, param::kInput) = 0x04;
  OverviewBlock block;
  block.RefreshOverview(ds, false);
  EXPECT_FALSE(block.lblBL[4]->isHidden());
  for (int k = 6; k < OverviewBlock::kRows; ++k) {
    EXPECT_TRUE(block.lblBL[static_cast<std::size_t>(k)]->isHidden()) << k;
    EXPECT_TRUE(block.imgBullet[static_cast<std::size_t>(k)]->isHidden()) << k;
  }
  ds.SetValue(ValueId::OutputType, 0);  // an edit of the working copy
  block.RefreshOverview(ds, false);
  EXPECT_EQ(block.lblBL[3]->text(), QStringLiteral("Funktion des Warnausgangs: abgeschaltet")) << "edits are not shown";

  block.SetOverviewEnabled(0);
  EXPECT_FALSE(block.lblBL[0]->isEnabled());
  block.RefreshOverview(ds, false);
  EXPECT_TRUE(block.lblBL[0]->isEnabled());
}

}  // namespace
}  // namespace rkt
