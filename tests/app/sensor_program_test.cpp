// The sensor commands as the program runs them against the simulated sensor.
#include "../ui/ui_test_support.h"
#include "app/main_loop.h"
#include "app/sensor_link.h"
#include "history/history_db.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "output/export.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "text/message_box.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"
#include "ui/history_dialogs.h"

namespace rkt {
namespace {

using Answers = test::InstalledPresenter;

sim::SimConfig QuickSensor() { return sim::SimConfig{.idleTimeout = std::chrono::milliseconds(10)}; }
LinkSettings FastLink() { return LinkSettings{.detectTimeoutMs = 10, .readTimeoutMs = 25}; }

// The demo link, or with ownLine the sensor on a line of its own behind port "SIM", which a test can
// make vanish or refuse to open.
SensorLink MakeLink(const std::shared_ptr<sim::SensorSimulator>& sensor, sim::SimulatedLine** line) {
  if (line == nullptr) return SensorLink(sensor);
  *line = new sim::SimulatedLine(sensor);
  return SensorLink(std::unique_ptr<link::SerialLine>(*line));
}

// The window, the link and the simulated sensor wired as the frame does.
struct Program {
  explicit Program(sim::SimConfig config = QuickSensor(), LinkSettings settings = FastLink(), bool ownLine = false)
      : sensor(std::make_shared<sim::SensorSimulator>(config)), link(MakeLink(sensor, ownLine ? &line : nullptr)) {
    data.SetRecentFiles(&recent);
    link.Attach(data, window);
    link.InitPorts(settings);
    if (ownLine) link.OpenPort("SIM");
    link.InitDetection(request);
    QObject::connect(&window, &frmMain::SensorCommandRequested, [this](SensorCommand c) { link.RunCommand(c); });
    window.SetWritePreview(false);  // the preview's test switches it on
  }
  void Trigger(const char* action) { window.Action(action)->trigger(); }
  int Written(int address) const { return sensor->Memory(1, address); }
  void SetHysteresis(int index) { test::Choose(window.Panel()->cmbHysteresis, index); }

  std::shared_ptr<sim::SensorSimulator> sensor;
  sim::SimulatedLine* line = nullptr;  // with ownLine; the link owns it
  SensorLink link;
  DataSet data;
  RecentFiles recent;
  frmMain window{data, recent};
  DetectionRequest request;
  Answers answers;
};

struct ProgramFixture : ::testing::Test, Program {};

// Runs `act` once from the event loop as soon as `ready` holds.
struct Once {
  Once(std::function<bool()> ready, std::function<void()> act) {
    QObject::connect(&timer, &QTimer::timeout, [=, this] {
      if (done || !ready()) return;
      done = true;  // before act: it may run a nested loop
      act();
    });
    timer.start(2);
  }
  QTimer timer;
  bool done = false;
};

TEST_F(ProgramFixture, ReadDefaultsAndTraceThenWriteWithItsPreviewAndSensitivityReachTheSensor) {
  QTemporaryDir dir;
  const QString trace = dir.filePath(QStringLiteral("trace.txt"));
  ASSERT_TRUE(link.StartTrace(trace.toStdString()));
  Trigger("mnSensorRead");
  const bool connected = window.StatusPort()->text().startsWith(QStringLiteral("\u25CF"));
  EXPECT_EQ(std::tuple(data.DataValid(), data.IsChanged(), data.OfflineData(), connected, window.SensorFrame()->title()),
            std::tuple(1, false, false, true, QStringLiteral("RKT 410-1")));
  EXPECT_TRUE(link.User()->Progress() == nullptr && answers.shown.empty()) << "no dialog stays, a good read says nothing";
  const qint64 recorded = QFileInfo(trace).size();
  EXPECT_GT(recorded, 500) << "a read leaves its bytes in the trace";
  EXPECT_TRUE(link.Tracing() && link.SetTrace(false));
  Trigger("mnSensorDefault");
  EXPECT_EQ(QFileInfo(trace).size(), recorded) << "switched off, nothing more is written";
  EXPECT_EQ(data.Param(kWorkingCopy, param::kSwitchingFrequency), sensor->Memory(2, 3));
  ASSERT_NE(sensor->Memory(2, 3), sensor->Memory(1, 3));
  window.SetWritePreview(true);
  Trigger("mnSensorRead");
  SetHysteresis(2);
  const int before = Written(11);
  for (const bool yes : {false, true}) {
    QStringList rows;
    test::OnNext<frmWritePreview>([&](frmWritePreview* d) {
      for (int r = 0; r < d->tblChanges->rowCount(); ++r)
        rows << d->tblChanges->item(r, 0)->text() + " " + d->tblChanges->item(r, 1)->text() + " | " +
                    d->tblChanges->item(r, 2)->text();
      (yes ? d->btYes : d->btNo)->click();
    });
    Trigger("mnSensorWrite");
    EXPECT_EQ(rows, QStringList{QStringLiteral("Hysterese: standard | groß")});
    EXPECT_TRUE(yes || std::tuple(Written(11), sensor->CommandCount(sim::Command::PQ)) == std::tuple(before, 0))
        << "No writes nothing";
  }
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "hysteresis 'groß' reached the sensor";
  EXPECT_TRUE(answers.shown.empty() && !data.IsChanged() && !window.Action("mnSensWrite")->isEnabled());
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Daten zum Sensor übertragen"));
  Trigger("mnSensorWrite");
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kNothingToWrite})) << "nothing left to change: said, not shown";
  answers.shown.clear();
  Trigger("mnSensRead");
  EXPECT_TRUE(window.SensitivityAvailable() && window.Panel()->scrlSensitivity->value() == sensor->Memory(1, 2) - 7);
  window.Panel()->scrlSensitivity->setValue(46);
  answers.queue = {msg::kYes};  // "Wollen Sie fortfahren?"
  Trigger("mnSensWrite");
  EXPECT_EQ(std::tuple(Written(2), window.StatusMessage()), std::tuple(46 + 7, QStringLiteral("Empfindlichkeit zum Sensor übertragen")));
}

TEST_F(ProgramFixture, DetectionFollowsTheSensor) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence});
  link.DetectSensor();
  EXPECT_EQ(std::tuple(data.DataValid(), window.Overview()->isEnabled()), std::tuple(0, false)) << "no sensor";
  sensor->ClearFaults();
  link.DetectSensor();
  EXPECT_EQ(std::tuple(data.DataValid(), data.IsChanged(), window.Overview()->isEnabled()), std::tuple(1, false, true));
  sensor->SetMemory(0, 7, 2);  // the partner type raises no question
  link.DetectSensor();
  EXPECT_TRUE(answers.shown.empty() && window.Overview()->isEnabled()) << "the detection asks nothing";
  // Another family: No keeps the data being edited and greys the overview.
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
  sensor->SetMemory(0, 7, 5);
  answers.queue = {msg::kNo};
  link.DetectSensor();
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kTypeChanged}));
  EXPECT_EQ(std::tuple(data.Ident(kWorkingCopy, ident::kTypeCode), data.DataValid(), window.Overview()->isEnabled()),
            std::tuple(1, 1, false));
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  link.DetectSensor();
  EXPECT_EQ(std::tuple(answers.shown.size(), data.Ident(kWorkingCopy, ident::kTypeCode)), std::tuple(std::size_t{1}, 1)) << "not asked again";
  sensor->SetMemory(0, 7, 7);  // yet another family: Yes takes its data
  answers.queue = {msg::kYes};
  link.DetectSensor();
  EXPECT_EQ(std::tuple(answers.shown.size(), data.Ident(kWorkingCopy, ident::kTypeCode), data.IsChanged()), std::tuple(std::size_t{2}, 7, false));
  window.Files().Load(QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT"));
  link.DetectSensor();
  EXPECT_TRUE(window.SensorFrame()->title() == QStringLiteral("RKT 410-DL/2") && answers.shown.size() == 2) << "a loaded file stays";
}

// A sensor that stopped answering stayed shown as connected until all 30 presence tests of the detection run had
// gone unanswered (15 to 30 s with the real time-outs); the first unanswered test now clears it.
TEST(ProgramDetection, ALostSensorIsShownGoneWithTheFirstUnansweredPresenceTest) {
  const struct {
    const char* fault;
    void (*lose)(Program&);
    void (*restore)(Program&);
    std::optional<bool> connectedDuringRun;  // once a second test has begun; none when no test is sent
  } rows[] = {
      {"adapter pulled", [](Program& p) { p.line->Vanish(); }, [](Program& p) { p.line->Replug(); }, std::nullopt},
      {"sensor silent", [](Program& p) { p.sensor->InjectFault({sim::Fault::Silence, sim::Command::V}); },
       [](Program& p) { p.sensor->ClearFaults(); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Program p(QuickSensor(), FastLink(), true);
    const auto connected = [&p] {
      return p.window.StatusPort()->text().startsWith(QStringLiteral("\u25CF")) && p.link.Sensor()->SensorConnected();
    };
    p.link.SetDetection(1);
    p.link.DetectSensor();
    ASSERT_TRUE(connected());
    row.lose(p);
    std::optional<bool> duringRun;
    const int tests = p.sensor->CommandCount(sim::Command::V);
    Once second([&] { return p.sensor->CommandCount(sim::Command::V) >= tests + 2; }, [&] { duringRun = connected(); });
    p.link.DetectSensor();
    EXPECT_EQ(duringRun, row.connectedDuringRun);
    EXPECT_FALSE(connected()) << "after the run";
    row.restore(p);
    p.link.DetectSensor();
    EXPECT_TRUE(connected()) << "back with the next run";
  }
}

// Activation comes through the window system's queue. (QWindow::isActive, which qWaitForWindowActive asks, holds
// for a box as soon as the window it belongs to is active.)
bool ActiveSoon(const QWidget* window) {
  return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 1000);
}

// The real boxes, answered from the keyboard. Notes each answer and whether, once the box is gone, the window that
// raised it (`owner`) is active again with the keyboard focus inside it.
struct KeyboardAnswers : MessagePresenter {
  KeyboardAnswers() { SetMessagePresenter(this); }
  ~KeyboardAnswers() override { SetMessagePresenter(nullptr); }
  KeyboardAnswers(const KeyboardAnswers&) = delete;
  int Present(const MessageBoxRequest& request) override {
    const int answer = boxes.Present(request);
    QWidget* raiser = owner();
    const bool active = raiser != nullptr && ActiveSoon(raiser);
    const QWidget* focus = QApplication::focusWidget();
    answers.push_back(answer);
    handedBack.push_back(active && focus != nullptr && focus->window() == raiser);
    return answer;
  }
  QtMessagePresenter boxes;
  std::function<QWidget*()> owner;
  std::vector<int> answers;
  std::vector<bool> handedBack;
};

// What is wrong with a box as it comes up over `raiser`; "" when nothing is.
std::string BoxFaults(QMessageBox* box, const QWidget* raiser) {
  std::string wrong;
  const auto name = [](const QWidget* w) { return w ? w->objectName().toStdString() : std::string("nothing"); };
  if (box->parentWidget() != raiser) wrong += " belongs to " + name(box->parentWidget());
  if (!ActiveSoon(box)) wrong += " not active";
  const QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus != box->defaultButton())
    wrong += " focus on " + (focus ? name(focus->window()) + "/" + focus->metaObject()->className() : name(nullptr));
  return wrong;
}

// Return and Escape were lost in 5 of 6 port messages, 3 of 8 "kann nicht angesprochen werden" and every
// "Ungültiger Datencode!": the box belonged to the main window while a dialog or the progress was in front, and
// after it the focus stayed in the blocked main window. Keys go to the focus widget, as the keyboard's do.
TEST(ProgramKeyboard, MessageBoxesTakeTheKeyboardWhereverTheyAreRaisedAndHandItBack) {
  Program p(QuickSensor(), FastLink(), true);
  KeyboardAnswers boxes;
  struct LinkOptions : test::FakeOptions {
    SensorLink* link = nullptr;
    void OpenPort(const QString& name) override { link->OpenPort(name.toStdString()); }
  } options;
  options.link = &p.link;
  p.window.SetOptionsBackend(&options);
  p.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&p.window));
  p.Trigger("mnSensorRead");
  ASSERT_EQ(p.data.DataValid(), 1);

  // Each box is answered with the key of its turn, pressed on the focus widget: Return, then Escape.
  std::vector<std::string> faults;  // per box: what was wrong as it came up
  bool busy = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (busy || box == nullptr || !box->isVisible()) return;
    busy = true;
    const Qt::Key key = faults.size() % 2 == 0 ? Qt::Key_Return : Qt::Key_Escape;
    faults.push_back(BoxFaults(box, boxes.owner()));
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && focus->window() == box)
      QTest::keyClick(focus, key);
    if (box->isVisible()) {  // the key never reached the box: close it, or the test would stop here
      faults.back() += " key lost";
      box->escapeButton()->click();
    }
    busy = false;
  });
  poll.start(5);

  QPointer<QDialog> dialog;  // the dialog the current row raises its messages from
  std::vector<std::string> typed;  // what the code field holds after typing "ab" once a message has gone
  const struct {
    const char* place;
    std::function<QWidget*()> owner;
    std::function<void()> raise;  // raises two messages, one after the other
    std::vector<int> answers;     // to Return and to Escape
  } rows[] = {
      {"main window, another sensor type found", [&] { return &p.window; },
       [&] {
         for (const int type : {5, 7}) {
           p.sensor->SetMemory(0, 7, static_cast<std::uint8_t>(type));
           p.link.DetectSensor();
         }
       },
       {msg::kYes, msg::kNo}},
      {"code dialog, invalid code", [&] { return dialog.data(); },
       [&] {
         test::OnNext<frmDataCode>([&](frmDataCode* d) {
           dialog = d;
           QString wrong = d->txtCode->text();
           wrong[0] = wrong[0] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
           for (int i = 0; i < 2; ++i) {
             d->txtCode->setText(wrong);
             QTest::keyClick(d->txtCode, Qt::Key_Return);  // OK, and the code is refused
             QWidget* focus = QApplication::focusWidget();
             if (focus != nullptr) QTest::keyClicks(focus, QStringLiteral("ab"));
             typed.push_back(d->txtCode->text().toStdString());
           }
           QTest::keyClick(d, Qt::Key_Escape);
         });
         p.Trigger("mnCode");
       },
       {msg::kOk, msg::kOk}},
      {"options dialog, the port does not open", [&] { return dialog.data(); },
       [&] {
         p.line->FailOpens({.device = "/dev/ttyS9", .group = "", .error = "Device or resource busy"}, 2);
         test::OnNext<frmOptions>([&](frmOptions* d) {
           dialog = d;
           d->cmbPorts->setEditText(QStringLiteral("/dev/ttyS9"));
           d->btOK->click();
         });
         p.Trigger("mnOptions");
         p.line->FailOpens({}, 0);
         p.link.OpenPort("SIM");
       },
       {msg::kRetry, msg::kCancel}},
      {"progress dialog, no sensor answers", [&] { return static_cast<QWidget*>(p.link.User()->Progress()); },
       [&] {
         p.sensor->InjectFault({sim::Fault::Silence, sim::Command::V});
         p.Trigger("mnSensorRead");
         p.sensor->ClearFaults();
       },
       {msg::kRetry, msg::kCancel}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.place);
    faults.clear();
    boxes.answers.clear();
    boxes.handedBack.clear();
    boxes.owner = row.owner;
    row.raise();
    EXPECT_EQ(faults, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(boxes.answers, row.answers);
    EXPECT_EQ(boxes.handedBack, (std::vector<bool>{true, true})) << "the window that raised it is active again";
    EXPECT_TRUE(ActiveSoon(&p.window)) << "and the main window once that is gone";
  }
  EXPECT_EQ(typed, (std::vector<std::string>{"AB", "AB"})) << "the code dialog takes typing again";
}

// On a line as slow as the real one a detection run gives way with answers still on the wire.
TEST(ProgramOnATimedLine, CommandsDuringDetectionRunsFindTheSensor) {
  Program p(sim::SimConfig{.baudTiming = true}, LinkSettings{});
  p.link.SetDetection(1);
  // nth: the command comes once the run has sent this many of `during`.
  const struct { const char* action; sim::Command during; int nth; std::vector<std::string> said; } rounds[] = {{"mnSensorRead", sim::Command::LQ, 3, {}},  // the first run, on a sensor not yet read
                {"mnSensorWrite", sim::Command::LP, 2, {}},
                {"mnSensorTest", sim::Command::V, 1, Answers::Numbered({msg::kCommunicationOk})}};
  for (const auto& r : rounds) {
    SCOPED_TRACE(r.action);
    if (r.said.empty() && p.data.DataValid() == 1) p.SetHysteresis(2);
    p.answers.shown.clear();
    const int base = p.sensor->CommandCount(r.during);
    Once chosen([&] { return p.sensor->CommandCount(r.during) >= base + r.nth; }, [&] { p.Trigger(r.action); });
    p.link.DetectSensor();
    ASSERT_TRUE(chosen.done);
    EXPECT_EQ(p.answers.Texts(), r.said);
    EXPECT_EQ(std::tuple(p.data.DataValid(), p.data.Param(kWorkingCopy, 12), p.data.IsChanged(), p.link.Ports().Abandoned()),
              std::tuple(1, p.sensor->Memory(1, 11), false, false));
  }
  EXPECT_EQ(p.Written(11) & 0x30, 0x30) << "the write reached the sensor";
}

// A file opened while a detection read runs keeps its data: the read takes nothing, and the
// overview and the export agree with the panel. Ten opens at random points of the run.
TEST(ProgramOnATimedLine, FilesOpenedDuringDetectionReadsKeepOverviewAndExportWithThePanel) {
  Program p(sim::SimConfig{.baudTiming = true, .byteTime = sim::kByteTime / 3}, LinkSettings{});
  DataSet file;
  ASSERT_EQ(LoadParameterFile(file, test::kSample.toStdString()), LoadStatus::Ok);
  p.sensor->SetMemory(1, 4, static_cast<std::uint8_t>(file.Param(kWorkingCopy, param::kTimeValue1) + 1));
  std::mt19937 rng(7);
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    p.Trigger("mnSensorRead");  // sensor data: the detection reads again
    ASSERT_FALSE(p.data.OfflineData());
    const int nth = std::uniform_int_distribution<int>(1, 12)(rng);
    const int base = p.sensor->CommandCount(sim::Command::Any);
    Once opened([&] { return p.sensor->CommandCount(sim::Command::Any) >= base + nth; },
                [&] { p.window.Files().Load(test::kSample); });
    p.link.SetDetection(1);
    p.link.DetectSensor();
    p.link.SetDetection(0);
    ASSERT_TRUE(opened.done);
    EXPECT_EQ(p.data.GetBlock(BlockId::Parameter, kReadCopy), file.GetBlock(BlockId::Parameter, kWorkingCopy));
    EXPECT_EQ(p.window.Panel()->spnEinschalt->value(), file.GetInt(ValueId::TimeValue1, kWorkingCopy));
    EXPECT_EQ(OverviewLines(p.data, true).join("|").toStdString(), OverviewLines(file, true).join("|").toStdString());
    EXPECT_EQ(ExportText(p.data, ExportFormat::Txt), ExportText(file, ExportFormat::Txt));
  }
}

// A read that fails keeps the comment; a write keeps an unsaved comment asking to be saved; the
// sensitivity line comes with the first sensitivity read and follows a sensitivity write.
TEST_F(ProgramFixture, FailedReadKeepsTheCommentWriteKeepsItUnsavedSensitivityLineFollowsTheSensor) {
  window.Files().Load(test::kSample);
  const std::string comment = data.Comment();
  ASSERT_FALSE(comment.empty());
  sensor->InjectFault({sim::Fault::Silence});
  answers.queue = {msg::kCancel};
  Trigger("mnSensorRead");
  EXPECT_EQ(std::tuple(data.Comment(), window.SensitivityAvailable()), std::tuple(comment, true))
      << "a failed read keeps the data, its comment and its sensitivity";
  sensor->ClearFaults();
  answers.shown.clear();
  Trigger("mnSensorRead");
  data.SetValue(ValueId::Comment, std::string("Halle 3"));
  data.SetValue(ValueId::CommentChanged, true);
  SetHysteresis(2);
  Trigger("mnSensorWrite");
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kCommentNotStored}));
  EXPECT_TRUE(data.IsChanged()) << "the comment is still only in the window";
  const auto sensitivityLine = [&] { return OverviewLines(data, window.SensitivityAvailable()).filter("Empfindlichkeit"); };
  sensor->SetMemory(1, 2, 46 + 7);
  Trigger("mnSensRead");
  EXPECT_EQ(sensitivityLine(), QStringList{"Empfindlichkeit: 50%"}) << "with the first read";
  EXPECT_EQ(window.Overview()->lblBL[static_cast<std::size_t>(OverviewLines(data, true).size() - 1)]->text(),
            QStringLiteral("Empfindlichkeit: 50%"));
  window.Panel()->scrlSensitivity->setValue(92);
  answers.queue = {msg::kYes};
  Trigger("mnSensWrite");
  EXPECT_EQ(std::tuple(sensor->Memory(1, 2), sensitivityLine()), std::tuple(99, QStringList{"Empfindlichkeit: 100%"}));
}

// In the window too: a sensitivity write the sensor confirms but does not keep fails with 1040, says what the sensor
// holds, the overview shows the sensor, and the history has the record.
TEST_F(ProgramFixture, SensitivityWriteThatDidNotTakeFailsWith1040AndIsRecorded) {
  QTemporaryDir dir;
  history::HistoryDb db(dir.filePath(QStringLiteral("history.sqlite")));
  link.SetJournal(&db);
  Trigger("mnSensorRead");
  sensor->SetMemory(1, 2, 46 + 7);
  Trigger("mnSensRead");
  window.Panel()->scrlSensitivity->setValue(80);
  sensor->InjectFault({sim::Fault::LostWrite, sim::Command::PQ, 1});
  answers.shown.clear();
  answers.queue = {msg::kYes, msg::kCancel};  // "Wollen Sie fortfahren?", then Cancel instead of Retry
  Trigger("mnSensWrite");
  link.SetJournal(nullptr);
  ASSERT_EQ(answers.shown.size(), 2u);
  const std::string& told = answers.shown[1].text;
  EXPECT_TRUE(told.starts_with(MessageDisplayText(msg::kVerifyFailed)) && told.find("46 (50%)") != std::string::npos) << told;
  EXPECT_EQ(std::pair(int{sensor->Memory(1, 2)}, OverviewLines(data, true).filter("Empfindlichkeit")),
            std::pair(46 + 7, QStringList{"Empfindlichkeit: 50%"})) << "the overview shows the sensor";
  const auto records = db.List();
  ASSERT_TRUE(records && records->size() == 1u) << db.Error();
  EXPECT_EQ(std::tuple((*records)[0].kind, (*records)[0].code, (*records)[0].paramsHeld.has_value()),
            std::tuple(std::string("sensitivity"), 1040, true));
}

}  // namespace
}  // namespace rkt
