// The station window driven by keyboard alone: each tile shows its port's
// result in words a screen reader gets too, the counts add up, and a stop
// lets the window start again.
#include "ui_test_support.h"

#include "history/history_db.h"
#include "model/parameter_file.h"
#include "sim/simulated_line.h"
#include "text/messages.h"

namespace rkt {
namespace {

TEST(StationWindow, EachTileShowsItsPortsResultAndTheCountsAddUp) {
  DataSet ds;
  ASSERT_EQ(LoadParameterFileChecked(ds, test::kSample.toStdString()).status, LoadStatus::Ok);
  std::map<std::string, std::shared_ptr<sim::SensorSimulator>> sims;
  for (const char* port : {"P1", "P2", "P3"}) {
    sim::SimConfig c;
    c.typeCode = 5;
    c.locked = std::string(port) == "P2";
    sims[port] = std::make_shared<sim::SensorSimulator>(c);
  }
  QTemporaryDir dir;
  StationSetup setup;
  setup.ports = {"P1", "P2", "P3"};
  setup.makeLine = [sims](const std::string& port) { return std::make_unique<sim::SimulatedLine>(sims.at(port)); };
  const QString db = dir.filePath(QStringLiteral("history.sqlite"));
  // Each port's journal finds the history server away, as a plant journal would.
  setup.makeJournal = [db](const std::string&, const history::ServerNoticeFn& tell) {
    tell({false, "plant: Connection refused", 0});
    return std::make_unique<history::HistoryDb>(db);
  };
  ASSERT_TRUE(history::HistoryDb(db).CheckWritable());  // the driver loaded in the main thread, as the program does
  bool done = false;
  setup.done = [&] { done = true; };
  {
    frmStation window(setup, ds);
    window.show();
    auto* start = window.findChild<QPushButton*>(QStringLiteral("btStart"));
    auto* stop = window.findChild<QPushButton*>(QStringLiteral("btStop"));
    auto* counts = window.findChild<QLabel*>(QStringLiteral("lblCounts"));
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Space);
    ASSERT_TRUE(window.Running());
    QTRY_COMPARE_WITH_TIMEOUT(counts->text(), UiText("frmStation", "lblCounts").arg(2).arg(1), 30000);
    const auto tile = [&](int n) {
      return QAccessible::queryAccessibleInterface(window.findChild<QFrame*>(QStringLiteral("tile%1").arg(n)));
    };
    QTRY_COMPARE(tile(1)->text(QAccessible::Name), QStringLiteral("P1: ") + UiText("frmStation", "stPass"));
    EXPECT_EQ(tile(2)->text(QAccessible::Name), QStringLiteral("P2: ") + UiText("frmStation", "stFail"));
    EXPECT_TRUE(tile(2)->text(QAccessible::Description).contains(QString::fromStdString(MessageDisplayText(msg::kSensorLocked))));
    EXPECT_TRUE(tile(3)->text(QAccessible::Description).contains(UiText("frmStation", "lblSerial").arg(12345)));
    // The server's absence is said once for the station, and read out too.
    auto* history = window.findChild<QLabel*>(QStringLiteral("lblHistory"));
    const QString away = UiText("frmMain", "StatusHistoryAway").arg(QStringLiteral("plant: Connection refused"));
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(history)->text(QAccessible::Name), away);
    // Stop: the focus is on it once started; the window can start again.
    EXPECT_EQ(QApplication::focusWidget(), stop);
    QTest::keyClick(stop, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 10000);
    EXPECT_FALSE(window.Running());
    EXPECT_TRUE(sims.at("P2")->StoredWrites().empty());
    EXPECT_FALSE(sims.at("P1")->StoredWrites().empty());
  }
  EXPECT_TRUE(done);
}

}  // namespace
}  // namespace rkt
