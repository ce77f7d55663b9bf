#include "ui_test_support.h"
#include "output/datasheet_content.h"

namespace rkt {
namespace {

TEST(Overview, LinesOfTheReadCopy) {
  DataSet ds;
  test::SetIdent(ds, 4, 4, 15, kReadCopy);  // no hysteresis, no pulse selection, no input
  ds.Param(kReadCopy, param::kInput) = 0x04;  // programming allowed
  ds.Param(kReadCopy, param::kSwitchingFrequency) = 9;
  EXPECT_EQ(OverviewLines(ds, false).join(QLatin1Char('|')),
            QStringLiteral("Störfilterung: 500 Hz  --> 1 ms|Tastaturverriegelung: aus|Ausgangsfunktion: Warnausgang|"
                           "Funktion des Warnausgangs: abgeschaltet|Einschaltverzögerung:  0.0 s|Ausschaltzeit:  0.0 s"));
  OverviewBlock block;
  block.RefreshOverview(ds, false);
  EXPECT_FALSE(block.lblBL[5]->isHidden());
  for (std::size_t k = 6; k < OverviewBlock::kRows; ++k)
    EXPECT_TRUE(block.lblBL[k]->isHidden() && block.imgBullet[k]->isHidden()) << k;
  ds.SetValue(ValueId::OutputType, 0);
  block.RefreshOverview(ds, false);
  EXPECT_EQ(block.lblBL[3]->text(), QStringLiteral("Funktion des Warnausgangs: abgeschaltet")) << "edits are not shown";
  block.SetOverviewEnabled(0);
  EXPECT_FALSE(block.lblBL[0]->isEnabled());
  block.RefreshOverview(ds, false);
  EXPECT_TRUE(block.lblBL[0]->isEnabled());
  test::SetIdent(ds, 4, 2, 1, kReadCopy);
  ds.Param(kReadCopy, param::kInput) = 0;
  ds.Param(kReadCopy, param::kSwitchingFrequency) = 5;
  EXPECT_TRUE(OverviewLines(ds, false).contains(QStringLiteral("Parametrierung gesperrt"))) << "bit 2 clear: locked";
  ds.Param(kReadCopy, param::kFunctions) = 0x08;  // wiper
  ds.Param(kReadCopy, param::kTimeValue2) = 40;
  ds.Param(kReadCopy, param::kInput) = 0x04 | 0x40 | 0x01;  // UND, inverted
  QStringList lines = OverviewLines(ds, true);
  for (const char* line : {"Ausschaltzeit: Wischerfunktion 40 ms", "Eingangsfunktion: UND-Verknüpfung",
                           "negative Logik", "Empfindlichkeit: 0%"})
    EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;
  EXPECT_FALSE(lines.contains(QStringLiteral("Parametrierung gesperrt")));
  ds.Param(kReadCopy, param::kFunctions) = 0x02;  // off-delay
  EXPECT_TRUE(OverviewLines(ds, false).contains(QStringLiteral("Ausschaltzeit: Ausschaltverzögerung 4.0 s")));
}

// title → value of the lines that have one ("Title: value").
std::map<QString, QString> ByTitle(const QStringList& lines) {
  std::map<QString, QString> out;
  for (const QString& line : lines)
    if (const qsizetype at = line.indexOf(QStringLiteral(": ")); at > 0) out[line.left(at)] = line.mid(at + 2);
  return out;
}

std::map<QString, QString> ByTitle(const std::vector<OutputLineItem>& items) {
  std::map<QString, QString> out;
  for (const OutputLineItem& item : items)
    if (const QString label = QString::fromStdString(item.label); label.endsWith(QLatin1Char(':')))
      out[label.chopped(1)] = QString::fromStdString(item.value);
  return out;
}

QString Checked(const std::array<QRadioButton*, 3>& options) {
  for (QRadioButton* rd : options)
    if (rd->isChecked()) return rd->text();
  return {};
}

// Every type, version and variant with random parameters: each list value
// reads the same in the overview, the panel and the datasheet, and a line
// exists exactly where the panel has the control.
TEST(Overview, OverviewPanelAndDatasheetAgreeOnEveryListValue) {
  std::mt19937 rng(20261206);
  DataSet ds;
  ParameterPanel panel(ds);
  int cases = 0;
  for (int type = 0; type <= 17; ++type)
    for (const int version : {0, 3, 4, 5})
      for (int variant = 0; variant <= 7; ++variant)
        for (int round = 0; round < 3; ++round, ++cases) {
          ds.Reset();
          for (int pos = 1; pos <= kBlockSize; ++pos) ds.Param(kReadCopy, pos) = static_cast<std::uint8_t>(rng() & 0xFF);
          test::SetIdent(ds, version, variant, type, kReadCopy);
          ds.CopyCopy(kReadCopy, kWorkingCopy);
          panel.FillPanel(false);
          const auto overview = ByTitle(OverviewLines(ds, false));
          const auto sheet = ByTitle(CommonContent(ds));
          SCOPED_TRACE("type " + std::to_string(type) + " version " + std::to_string(version) + " variant " +
                       std::to_string(variant) + " round " + std::to_string(round));
          const bool warning = !panel.cmbOutput->isHidden(), single = !panel.cmbSingleOutput->isHidden();
          const struct {
            const char* title;
            bool present;  // the panel has the control
            QString shown;
          } rows[] = {
              {"lblSwitchfrequency", true, panel.cmbSchaltfrequenz->currentText()},
              {"lblPulse", panel.cmbPulse->isEnabled(), panel.cmbPulse->currentText()},
              {"lblHysteresis", panel.cmbHysteresis->isEnabled(), panel.cmbHysteresis->currentText()},
              {"lblKeyboardLock", panel.cmbKeyboardlock->isEnabled(), panel.cmbKeyboardlock->currentText()},
              {"frameOutput", warning || single || !panel.cmbInputOutput->isHidden(),
               (warning ? panel.cmbOutput : single ? panel.cmbSingleOutput : panel.cmbInputOutput)->currentText()},
              {"lblFunction", true, Checked(panel.rdOutputType)},
              {"frameInput", !panel.frameInput->isHidden(), panel.cmbInput->currentText()},
          };
          for (const auto& row : rows) {
            // The alarm output of variant 6 is a check box, not a list.
            if (std::string_view(row.title) == "frameOutput" && !row.present) continue;
            const auto o = overview.find(MainText(row.title));
            const auto d = sheet.find(MainText(row.title));
            ASSERT_EQ(o != overview.end(), row.present) << row.title;
            if (!row.present) continue;
            EXPECT_EQ(o->second.toStdString(), row.shown.toStdString()) << "overview " << row.title;
            ASSERT_NE(d, sheet.end()) << row.title;
            EXPECT_EQ(d->second.toStdString(), row.shown.toStdString()) << "datasheet " << row.title;
          }
          const QString tf2 = MainText("chkTimefunction2");
          const QString option = panel.chkTimefunction2->isChecked() ? Checked(panel.rdTimefunction2) : QString();
          EXPECT_TRUE(overview.at(tf2).startsWith(option));
          EXPECT_TRUE(sheet.at(tf2).startsWith(option));
        }
  EXPECT_EQ(cases, 1728);
}

}  // namespace
}  // namespace rkt
