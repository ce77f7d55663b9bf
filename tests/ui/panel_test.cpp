#include "ui_test_support.h"
#include "output/datasheet_content.h"

namespace rkt {
namespace {

using Codes = std::vector<int>;

struct PanelFixture : ::testing::Test {
  DataSet ds;
  ParameterPanel panel{ds};
  void Fill(int version, int variant, int type) {
    test::SetIdent(ds, version, variant, type);
    panel.FillPanel(false);
  }
};

// The type's rules are the model's; here: that the panel applies them and resets what is not offered.
TEST_F(PanelFixture, ControlsFollowTheTypeUnofferedValuesFallBackAndEventsKeepDependentsConsistent) {
  Fill(4, 1, 15);  // mask 115: bit 1 no hysteresis, bit 4 no test functions, bit 6 no pulse selection
  EXPECT_EQ(test::ItemData(panel.cmbInput), (Codes{0, 2, 3, 4, 5, 8, 9}));
  EXPECT_FALSE(panel.cmbHysteresis->isEnabled() || panel.lblHysteresis->isEnabled() || panel.cmbPulse->isEnabled());
  Fill(3, 1, 5);
  EXPECT_EQ(std::tuple(panel.cmbSchaltfrequenz->count(), panel.cmbSchaltfrequenz->itemData(0).toInt()), std::tuple(6, 1)) << "1.5 kHz from version 4";
  Fill(4, 1, 3);  // mask 161: bit 7 drops Pulsfrequenz 3
  EXPECT_EQ(panel.cmbPulse->count(), 2);
  for (const auto& [variant, shown] : {std::pair{1, "frameInput cmbOutput"}, {3, "frameInput cmbSingleOutput"},
                                       {4, "cmbOutput"}, {5, "frameInput cmbInputOutput"}, {6, "frameInput chkAlarmOutput"}}) {
    Fill(4, variant, 1);
    QStringList visible;
    for (QWidget* w : std::initializer_list<QWidget*>{panel.frameInput, panel.cmbOutput, panel.cmbSingleOutput,
                                                      panel.cmbInputOutput, panel.chkAlarmOutput})
      if (!w->isHidden()) visible << w->objectName();
    EXPECT_EQ(visible.join(QLatin1Char(' ')), QString::fromLatin1(shown)) << "variant " << variant;
  }
  ds.SetValue(ValueId::PulseFrequency, 2);
  ds.SetValue(ValueId::Hysteresis, 2);
  ds.Param(kWorkingCopy, param::kSwitchingFrequency) = 3;  // 1.5 kHz, not offered for type 1
  ds.Param(kWorkingCopy, param::kFunctions) = 0x0E;        // TimeFunction2 = 1 despite extra bits
  ds.SetValue(ValueId::InputFunction, 7);                   // Vorausfall-Test, not offered for variant 1
  Fill(4, 1, 15);
  EXPECT_EQ(std::tuple(panel.cmbHysteresis->currentIndex(), panel.cmbPulse->currentIndex(), panel.cmbInput->currentIndex(),
                       panel.cmbSchaltfrequenz->currentData().toInt(), panel.rdTimefunction2[0]->isChecked()),
            std::tuple(0, 0, 0, 1, true));
  test::MessageRecorder messages;
  bool warned = false;
  QObject::connect(&panel, &ParameterPanel::ProgramLockTicked, [&] { warned = true; });
  ds.SetValue(ValueId::ProgramLock, 1);
  ds.SetValue(ValueId::InputFunction, 3);
  ds.SetValue(ValueId::InputOutputMode, 3);
  Fill(4, 5, 1);
  EXPECT_TRUE(panel.cmbInput->isEnabled() && !panel.chkInputInv->isHidden()) << "an +Eingang pin leaves the input usable";
  panel.cmbInputOutput->setCurrentIndex(0);  // Antivalent: the pin is an output
  EXPECT_TRUE(!panel.cmbInput->isEnabled() && panel.cmbInput->currentData().toInt() == 0);
  EXPECT_TRUE(panel.chkInputInv->isHidden()) << "\"keine\" hides the inversion";
  panel.cmbInputOutput->setCurrentIndex(4);
  EXPECT_TRUE(panel.cmbInput->isEnabled() && panel.cmbInput->currentData().toInt() == 0) << "the old function stays gone";
  EXPECT_TRUE(panel.chkProgramLock->isChecked());
  panel.chkProgramLock->click();
  EXPECT_FALSE(warned) << "neither a fill nor unticking warns of the lock";
  EXPECT_TRUE((panel.chkProgramLock->click(), warned));
  panel.chkTimefunction2->setChecked(false);
  ds.SetValue(ValueId::Changed, false);
  panel.chkTimefunction2->click();
  EXPECT_TRUE(panel.rdTimefunction2[0]->isChecked() && ds.IsChanged());
  panel.scrlAusgang->setValue(120);
  const QString seconds = panel.lblAusgang->text();
  panel.rdTimefunction2[1]->click();
  EXPECT_EQ(seconds + panel.lblAusgang->text(), QStringLiteral("12.0 s120 ms")) << "the unit follows the mode, the value stays";
  panel.chkTimefunction2->click();
  EXPECT_TRUE(!panel.scrlAusgang->isEnabled() && panel.lblAusgang->isHidden());
  ds.SetValue(ValueId::Changed, false);  // the sensitivity comes and goes without marking a change
  ds.SetValue(ValueId::Sensitivity, 92);
  panel.SetSensitivityAvailable(true);
  panel.ShowSensitivity();
  EXPECT_FALSE(ds.IsChanged());
  panel.scrlSensitivity->setValue(0);
  EXPECT_TRUE(ds.IsChanged()) << "a user move is a change";
  ds.SetValue(ValueId::Changed, false);
  panel.SetSensitivityAvailable(false);
  ds.SetValue(ValueId::Sensitivity, 50);
  panel.TakeSensitivity();
  EXPECT_FALSE(ds.IsChanged());
  EXPECT_EQ(ds.GetInt(ValueId::Sensitivity, kWorkingCopy), 50) << "a disabled bar leaves the stored value";
}

// A data set whose every value the panel can show for its type: showing and reading it gives the same bytes.
void RandomShowableSet(DataSet& ds, std::mt19937& rng) {
  const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  ds.Reset();
  const int version = 3 + pick(2), variant = 1 + pick(6), type = 1 + pick(16);
  test::SetIdent(ds, version, variant, type);
  const int mask = FeatureMaskFor(type);
  for (int i = 1; i <= kBlockSize; ++i) ds.Param(kWorkingCopy, i) = 0;
  ds.Param(kWorkingCopy, param::kSensitivity) = static_cast<std::uint8_t>(7 + pick(93));
  ds.SetValue(ValueId::OutputType, pick(3));
  ds.SetValue(ValueId::ProgramLock, pick(2));
  ds.SetValue(ValueId::TimeFunction1, pick(2));
  ds.SetValue(ValueId::TimeValue1, 1 + pick(255));
  const bool fast = version >= 4 && (type == 5 || type == 6);
  ds.SetValue(ValueId::SwitchingFrequency, fast ? pick(7) : 1 + pick(6));
  if ((mask & 64) == 0) ds.SetValue(ValueId::PulseFrequency, pick((mask & 128) ? 2 : 3));
  if ((mask & 2) == 0) ds.SetValue(ValueId::Hysteresis, pick(3));
  ds.SetValue(ValueId::KeyboardLock, pick(3));
  ds.SetValue(ValueId::TimeFunction2, pick(4));
  ds.SetValue(ValueId::TimeValue2, 1 + pick(255));
  if (variant == 3) ds.SetValue(ValueId::DarkSwitching, pick(2));
  if (variant == 5) ds.SetValue(ValueId::InputOutputMode, 3 + pick(2));
  if (variant == 6) ds.SetValue(ValueId::AlarmInverted, pick(2));
  if (variant != 3 && variant != 5 && variant != 6) ds.SetValue(ValueId::WarningFunction, pick(3));
  if (variant == 4) return;
  Codes offered;
  for (int code = 0; code <= (version >= 4 ? 9 : 5); ++code)
    if (!((mask & 16) && (code == 1 || code == 6 || code == 7)) && !(code == 7 && variant < 2)) offered.push_back(code);
  const int input = offered[static_cast<std::size_t>(pick(static_cast<int>(offered.size())))];
  ds.SetValue(ValueId::InputFunction, input);
  ds.SetValue(ValueId::InputInverted, input != 0 ? pick(2) : 0);
}

TEST_F(PanelFixture, FillThenReadLeavesTheWorkingCopyUnchanged) {
  std::mt19937 rng(11);
  for (int n = 0; n < 300; ++n) {
    RandomShowableSet(ds, rng);
    const DataSet::Block before = ds.GetBlock(BlockId::Parameter, kWorkingCopy);
    panel.FillPanel(false);
    panel.ReadPanel();
    const DataSet::Block after = ds.GetBlock(BlockId::Parameter, kWorkingCopy);
    for (std::size_t i = 1; i <= kBlockSize; ++i)
      ASSERT_EQ(after[i], before[i]) << "set " << n << " byte " << i;
    EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kBackupCopy), before) << "read panel saves the backup first";
    EXPECT_FALSE(ds.IsChanged()) << "filling is not a user change";
  }
}

// The bars and their spin boxes through real key presses, and the tab order.
TEST_F(PanelFixture, KeyboardMovesBarsTakesTypedValuesAndTabsInReadingOrder) {
  for (const auto& [id, value] : {std::pair{ValueId::TimeFunction1, 1}, {ValueId::TimeValue1, 20}, {ValueId::Sensitivity, 46},
                                  {ValueId::TimeFunction2, 2} /* pulse stretching: ms */, {ValueId::TimeValue2, 100},
                                  {ValueId::InputFunction, 2}})
    ds.SetValue(id, value);
  Fill(4, 2, 1);
  panel.SetSensitivityAvailable(true);
  panel.ShowSensitivity();
  ds.SetValue(ValueId::Changed, false);
  panel.show();
  panel.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&panel, 10000));
  panel.cmbInput->setFocus();
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 30 && (i == 0 || visited.back() != visited.front()); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  // Left column top to bottom, then the right one; hidden controls are skipped.
  EXPECT_EQ(visited.join(QLatin1Char(' ')),
            QStringLiteral("cmbInput chkInputInv scrlSensitivity spnSensitivity cmbOutput rdOutputType0 chkProgramLock "
                           "cmbKeyboardlock cmbPulse cmbSchaltfrequenz cmbHysteresis chkTimefunction1 scrlEinschalt "
                           "spnEinschalt chkTimefunction2 rdTimefunction20 rdTimefunction21 rdTimefunction22 "
                           "scrlAusgang spnAusgang cmbInput"));
  const struct { Qt::Key key; int value; const char* shown; } keys[] = {
      {Qt::Key_Right, 21, "2.1 s"}, {Qt::Key_PageUp, 31, "3.1 s"}, {Qt::Key_Left, 30, "3.0 s"},
      {Qt::Key_PageDown, 20, "2.0 s"}, {Qt::Key_End, 255, "25.5 s"}, {Qt::Key_Home, 1, "0.1 s"}};
  panel.scrlEinschalt->setFocus();
  for (const auto& row : keys) {
    QTest::keyClick(panel.scrlEinschalt, row.key);
    EXPECT_EQ(std::tuple(panel.scrlEinschalt->value(), panel.lblEinschalt->text(), panel.spnEinschalt->text()),
              std::tuple(row.value, QString::fromLatin1(row.shown), QString::fromLatin1(row.shown)));
  }
  EXPECT_TRUE(ds.IsChanged()) << "a key move is a change";
  EXPECT_EQ((panel.ReadPanel(), ds.GetInt(ValueId::TimeValue1, kWorkingCopy)), 1);
  // A value the box cannot take is kept out and said once, with the range, for the status bar.
  QStringList rejected;
  QObject::connect(&panel, &ParameterPanel::InputRejected, [&](const QString& text) { rejected << text; });
  const struct { QSpinBox* spin; QScrollBar* bar; QLabel* label; const char* typed; int value; const char* shown; const char* said; } typed[] = {
      {panel.spnEinschalt, panel.scrlEinschalt, panel.lblEinschalt, "5.0", 50, "5.0 s", ""},
      {panel.spnEinschalt, panel.scrlEinschalt, panel.lblEinschalt, "2,5 s", 25, "2.5 s", ""},
      {panel.spnEinschalt, panel.scrlEinschalt, panel.lblEinschalt, "30", 25, "2.5 s",
       "Wert 30 nicht übernommen: erlaubt ist 0.1 s bis 25.5 s."},
      {panel.spnEinschalt, panel.scrlEinschalt, panel.lblEinschalt, "0", 25, "2.5 s",
       "Wert 0 nicht übernommen: erlaubt ist 0.1 s bis 25.5 s."},
      {panel.spnAusgang, panel.scrlAusgang, panel.lblAusgang, "120", 120, "120 ms", ""},
      {panel.spnAusgang, panel.scrlAusgang, panel.lblAusgang, "300 ms", 120, "120 ms",
       "Wert 300 ms nicht übernommen: erlaubt ist 1 ms bis 255 ms."},
      {panel.spnSensitivity, panel.scrlSensitivity, panel.lblSensitivity, "75", 69, "75%", ""},
      {panel.spnSensitivity, panel.scrlSensitivity, panel.lblSensitivity, "150%", 69, "75%",
       "Wert 150% nicht übernommen: erlaubt ist 0% bis 100%."},
  };
  for (const auto& row : typed) {
    rejected.clear();
    row.spin->setFocus();
    QTest::keyClick(row.spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(row.spin, QString::fromLatin1(row.typed));
    QTest::keyClick(row.spin, Qt::Key_Return);
    EXPECT_EQ(std::tuple(row.bar->value(), row.label->text(), row.spin->text()),
              std::tuple(row.value, QString::fromLatin1(row.shown), QString::fromLatin1(row.shown))) << row.typed;
    if (*row.said) { EXPECT_TRUE(QTest::qWaitFor([&] { return !rejected.isEmpty(); }, 2000)) << row.typed; }
    QCoreApplication::processEvents();
    EXPECT_EQ(rejected, *row.said ? QStringList{QString::fromUtf8(row.said)} : QStringList{}) << row.typed;
  }
  QTest::keyClick(panel.spnAusgang, Qt::Key_Up);
  EXPECT_EQ(panel.scrlAusgang->value(), 121) << "one spin step is one bar step";
}

// title → value of the lines that have one ("Title: value").
std::map<QString, QString> ByTitle(const QStringList& lines) {
  std::map<QString, QString> out;
  for (const QString& line : lines)
    if (const qsizetype at = line.indexOf(QStringLiteral(": ")); at > 0) out[line.left(at)] = line.mid(at + 2);
  return out;
}

QString Checked(const std::array<QRadioButton*, 3>& options) {
  for (QRadioButton* rd : options)
    if (rd->isChecked()) return rd->text();
  return {};
}

// Every type, version and variant with random parameters: each list value reads the same in the
// overview, the panel and the datasheet, and a line exists exactly where the panel has the control.
TEST(Overview, OverviewPanelAndDatasheetAgreeOnEveryListValue) {
  std::mt19937 rng(20261206);
  DataSet ds;
  ParameterPanel panel(ds);
  for (int type = 0; type <= 17; ++type)
    for (const int version : {0, 3, 4, 5})
      for (int variant = 0; variant <= 7; ++variant)
        for (int round = 0; round < 3; ++round) {
          ds.Reset();
          for (int pos = 1; pos <= kBlockSize; ++pos) ds.Param(kReadCopy, pos) = static_cast<std::uint8_t>(rng() & 0xFF);
          test::SetIdent(ds, version, variant, type, kReadCopy);
          ds.CopyCopy(kReadCopy, kWorkingCopy);
          panel.FillPanel(false);
          const auto overview = ByTitle(OverviewLines(ds, false));
          QStringList sheetLines;
          for (const OutputLineItem& item : CommonContent(ds)) sheetLines << QString::fromStdString(item.label + " " + item.value);
          const auto sheet = ByTitle(sheetLines);
          SCOPED_TRACE(testing::Message() << "type " << type << " version " << version << " variant " << variant);
          const bool warning = !panel.cmbOutput->isHidden(), single = !panel.cmbSingleOutput->isHidden();
          const struct { const char* title; bool present; QString shown; } rows[] = {  // present: the panel has it
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
}

}  // namespace
}  // namespace rkt

namespace rkt {
namespace {

// The overview's own rows: the time lines, the lock line, the sensitivity line, and rows a
// shorter overview leaves hidden; after a data code, what the window shows, not the older read copy.
TEST(Overview, TimeLockAndSensitivityRowsHiddenRowsAndTheCopyDescribed) {
  DataSet ds;
  OverviewBlock block;
  const auto shown = [&] {
    QStringList out;
    for (int k = 0; k < OverviewBlock::kRows; ++k) {
      const bool visible = !block.lblBL[static_cast<std::size_t>(k)]->isHidden();
      EXPECT_EQ(visible, !block.imgBullet[static_cast<std::size_t>(k)]->isHidden()) << "row " << k;
      if (visible) out << block.lblBL[static_cast<std::size_t>(k)]->text();
    }
    return out;
  };
  // The last rows; a case without a sensitivity line follows one with it (a stale row would stay last).
  const struct { int tf1, tv1, tf2, tv2, locked, sens; QStringList rows; } cases[] = {
      {1, 42, 3, 40, 1, 46, {"Einschaltverzögerung:  4.2 s", "Ausschaltzeit: Wischerfunktion 40 ms", "Empfindlichkeit: 50%"}},
      {0, 42, 0, 40, 0, -1, {"Einschaltverzögerung:  0.0 s", "Ausschaltzeit:  0.0 s"}},
      {1, 7, 1, 40, 0, 0, {"Einschaltverzögerung:  0.7 s", "Ausschaltzeit: Ausschaltverzögerung 4.0 s", "Empfindlichkeit: 0%"}},
      {0, 1, 2, 255, 1, 92, {"Einschaltverzögerung:  0.0 s", "Ausschaltzeit: Impulsverlängerung 255 ms", "Empfindlichkeit: 100%"}},
      {1, 255, 0, 1, 0, -1, {"Einschaltverzögerung:  25.5 s", "Ausschaltzeit:  0.0 s"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "tf1 " << c.tf1 << " tf2 " << c.tf2 << " sens " << c.sens);
    ds.Reset();
    test::SetIdent(ds, 4, 4, 2);  // variant 4: no input lines
    ds.SetValue(ValueId::TimeFunction1, c.tf1 != 0);
    ds.SetValue(ValueId::TimeValue1, c.tv1);
    ds.SetValue(ValueId::TimeFunction2, c.tf2);
    ds.SetValue(ValueId::TimeValue2, c.tv2);
    ds.SetValue(ValueId::ProgramLock, c.locked);
    if (c.sens >= 0) ds.SetValue(ValueId::Sensitivity, c.sens);
    ds.TakeWorkingIntoRead();
    block.RefreshOverview(ds, c.sens >= 0);
    const QStringList rows = shown();
    EXPECT_EQ(rows.mid(rows.size() - c.rows.size()).join(" | ").toStdString(), c.rows.join(" | ").toStdString());
    EXPECT_EQ(OverviewLines(ds, false).contains(QStringLiteral("Parametrierung gesperrt")), c.locked == 1);
  }
  // A byte beyond the scale reads as the bar's top, as the panel shows it.
  ds.Param(kReadCopy, param::kSensitivity) = 205;
  EXPECT_EQ(OverviewLines(ds, true).last(), QStringLiteral("Empfindlichkeit: 100%"));
  // A data code over that: the read copy is older than what the window shows.
  ASSERT_TRUE(ApplyDataCode(ds, EncodeDataCode([] {
    DataSet code;
    test::SetIdent(code, 4, 4, 2);
    code.SetValue(ValueId::TimeFunction1, true);
    code.SetValue(ValueId::TimeValue1, 13);
    code.SetValue(ValueId::ProgramLock, 0);  // the zero read copy reads "gesperrt"
    code.SetDataValid(1);
    return code;
  }())));
  EXPECT_EQ(OverviewLines(ds, false).filter(QStringLiteral("Einschalt")), QStringList{"Einschaltverzögerung:  1.3 s"});
  EXPECT_FALSE(OverviewLines(ds, false).contains(QStringLiteral("Parametrierung gesperrt")));
  ds.TakeWorkingIntoRead();  // a write or save: the read copy describes it again
  EXPECT_TRUE(ds.ReadCopyCurrent());
}

}  // namespace
}  // namespace rkt
