#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <map>
#include <random>

#include "model/data_set.h"
#include "output/datasheet_content.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
#include "ui/ui_text.h"
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

// title → value of the lines that have one ("Title: value").
std::map<QString, QString> ByTitle(const QStringList& lines) {
  std::map<QString, QString> out;
  for (const QString& line : lines) {
    const qsizetype at = line.indexOf(QStringLiteral(": "));
    if (at > 0) out[line.left(at)] = line.mid(at + 2);
  }
  return out;
}

std::map<QString, QString> ByTitle(const std::vector<OutputLineItem>& items) {
  std::map<QString, QString> out;
  for (const OutputLineItem& item : items) {
    QString label = QString::fromStdString(item.label);
    if (label.endsWith(QLatin1Char(':'))) out[label.chopped(1)] = QString::fromStdString(item.value);
  }
  return out;
}

QString Checked(const std::array<QRadioButton*, 3>& options) {
  for (QRadioButton* rd : options)
    if (rd->isChecked()) return rd->text();
  return {};
}

// Every sensor type, version and variant with random parameter blocks: each
// list-driven value reads the same in the overview, in the panel's selection
// and on the datasheet, and a line exists where the panel has the control.
TEST(Overview, OverviewPanelAndDatasheetAgreeOnEveryListValue) {
  std::mt19937 rng(20261206);
  DataSet ds;
  ParameterPanel panel(ds);
  int cases = 0;
  for (int type = 0; type <= 17; ++type) {
    for (const int version : {0, 3, 4, 5}) {
      for (int variant = 0; variant <= 7; ++variant) {
        for (int round = 0; round < 3; ++round, ++cases) {
          ds.Reset();
          for (int pos = 1; pos <= kBlockSize; ++pos)
            ds.Param(kReadCopy, pos) = static_cast<std::uint8_t>(rng() & 0xFF);
          test::SetIdent(ds, version, variant, type, kReadCopy);
          ds.CopyCopy(kReadCopy, kWorkingCopy);
          panel.FillPanel(false);
          const auto overview = ByTitle(OverviewLines(ds, false));
          const auto sheet = ByTitle(CommonContent(ds));
          const std::string context = "type " + std::to_string(type) + " version " + std::to_string(version) +
                                      " variant " + std::to_string(variant) + " round " + std::to_string(round);

          struct Row {
            const char* title;
            bool present;   // the panel has the control for this type
            QString shown;  // what the panel selects
            bool overviewAlways;
          };
          const bool warning = !panel.cmbOutput->isHidden();
          const bool single = !panel.cmbSingleOutput->isHidden();
          const bool inout = !panel.cmbInputOutput->isHidden();
          const Row rows[] = {
              {"lblSwitchfrequency", true, panel.cmbSchaltfrequenz->currentText(), true},
              {"lblPulse", panel.cmbPulse->isEnabled(), panel.cmbPulse->currentText(), true},
              {"lblHysteresis", panel.cmbHysteresis->isEnabled(), panel.cmbHysteresis->currentText(), true},
              {"lblKeyboardLock", panel.cmbKeyboardlock->isEnabled(), panel.cmbKeyboardlock->currentText(), true},
              {"frameOutput", warning || single || inout,
               warning  ? panel.cmbOutput->currentText()
               : single ? panel.cmbSingleOutput->currentText()
                        : panel.cmbInputOutput->currentText(),
               true},
              {"lblFunction", true, Checked(panel.rdOutputType), true},
              {"frameInput", !panel.frameInput->isHidden(), panel.cmbInput->currentText(), true},
          };
          for (const Row& row : rows) {
            // The alarm output of variant 6 is a check box, not a list.
            if (std::string_view(row.title) == "frameOutput" && !row.present) continue;
            const QString title = MainText(row.title);
            const auto o = overview.find(title);
            const auto d = sheet.find(title);
            ASSERT_EQ(o != overview.end(), row.present) << context << " overview " << row.title;
            if (row.present) {
              EXPECT_EQ(o->second.toStdString(), row.shown.toStdString()) << context << " overview " << row.title;
              ASSERT_NE(d, sheet.end()) << context << " datasheet " << row.title;
              EXPECT_EQ(d->second.toStdString(), row.shown.toStdString()) << context << " datasheet " << row.title;
            }
          }
          // The second time function names the option the panel selects.
          const QString tf2 = MainText("chkTimefunction2");
          const QString option = panel.chkTimefunction2->isChecked() ? Checked(panel.rdTimefunction2) : QString();
          EXPECT_TRUE(overview.at(tf2).startsWith(option)) << context;
          EXPECT_TRUE(sheet.at(tf2).startsWith(option)) << context;
        }
      }
    }
  }
  EXPECT_EQ(cases, 1728);
}

}  // namespace
}  // namespace rkt
