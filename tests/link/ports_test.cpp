// The port layer and the byte protocol against the simulated sensor.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <fstream>
#include <sstream>

#include "link/port_list.h"
#include "link/system_serial_line.h"
#include "link/serial_trace.h"
#include "support/cpu_time.h"
#include "support/link_rig.h"

namespace rkt::link {
namespace {

using sim::Command;
using sim::Fault;
using test::FastPorts;
using test::FastSim;
using test::Rig;
using Bytes = std::vector<std::uint8_t>;

TEST(PortSettings, TimeOutsMustBePositive) {
  const std::pair<const char*, int> rows[] = {{"100", 100}, {" 250", 250}, {"12.6", 13}, {"0", 77},
                                              {"-5", 77},   {"abc", 77},   {"", 77},     {"0.2", 77},
                                              {"0.5", 1},   {"1", 1},      {"99999", 32767}};
  for (const auto& [text, expected] : rows) EXPECT_EQ(TimeoutFromSetting(text, 77), expected) << "'" << text << "'";
  for (const char* text : {"noecho", "NoEcho", "Echo", ""}) EXPECT_EQ(EchoFromSetting(text), text[0] == 'E' || !*text);
  Ports ports(std::make_unique<sim::SimulatedLine>(std::make_shared<sim::SensorSimulator>()));
  for (const int v : {0, -1, 1}) {
    PortSettings s;
    s.detectTimeout = s.readTimeout = s.writeTimeout = v;
    ports.InitPorts(s);
    EXPECT_EQ(std::tuple(ports.DetectTimeout(), ports.ReadTimeout(), ports.WriteTimeout(), ports.GetTimeout()),
              v > 0 ? std::tuple(v, v, v, v)
                    : std::tuple(kDefaultDetectTimeout, kDefaultReadTimeout, kDefaultWriteTimeout,
                                 kDefaultDetectTimeout));
  }
  EXPECT_EQ(ports.SetTimeout(0), 1);
  EXPECT_EQ(ports.SetTimeout(5), 1) << "0 never becomes the time-out";
  EXPECT_EQ(ports.GetTimeout(), 5);
}

TEST(PortNames, OnlyComNamesAreNumbered) {
  const std::pair<const char*, const char*> windows[] = {{"COM1", "COM1"}, {"COM12", "COM12"}, {"com3", "COM3"},
                                                         {"COMx", ""},       {"COM", ""},         {"COM0", ""}};
  for (const auto& [name, expected] : windows) EXPECT_EQ(SystemPortName(name, true), expected) << name;
  for (const char* name : {"/dev/ttyUSB0", "COM3"}) EXPECT_EQ(SystemPortName(name, false), name);
  EXPECT_EQ(PortListFrom({"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyUSB0"}, false),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS0"}));
  EXPECT_EQ(PortListFrom({}, false), std::vector<std::string>{"/dev/ttyS0"});
  EXPECT_EQ(PortListFrom({""}, true), std::vector<std::string>{"COM1"});
  EXPECT_FALSE(ListSerialPorts().empty());
  // Windows: the device map as it is, enumerated names added once in upper
  // case, the spooler only when both gave nothing, "COM1" as the last resort.
  using List = std::vector<std::string>;
  EXPECT_EQ(WindowsPortList({"COM1", "COM2"}, {"com2", "COM1"}, {"COM7:"}), (List{"COM1", "COM2"}));
  EXPECT_EQ(WindowsPortList({"COM4"}, {"com3", "COM3", "LPT1", ""}, {}), (List{"COM4", "COM3"}));
  EXPECT_EQ(WindowsPortList({}, {}, {"COM1:", "lpt1:", "FILE:", "COM5", "com12:"}), (List{"COM1", "COM12"}));
  EXPECT_EQ(WindowsPortList({}, {"COM9"}, {"COM1:"}), List{"COM9"});
  EXPECT_EQ(WindowsPortList({}, {}, {}), List{"COM1"});
  EXPECT_EQ(OrderLinuxPorts({"/dev/serial/by-id/usb-B", "/dev/serial/by-id/usb-A"},
                            {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/rfcomm0", "/dev/ttyUSB1", "/dev/ttyUSB0"}),
            (std::vector<std::string>{"/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-B", "/dev/ttyUSB0",
                                      "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/rfcomm0"}));
  EXPECT_TRUE(OrderLinuxPorts({}, {}).empty()) << "no port: no default either";
}

TEST(PortOpen, FailuresAskAndOnlyRetryOrANewNameOpensAgain) {
  Rig rig;
  rig.ports->InitPorts(FastPorts());
  rig.ports->OpenPort("");
  EXPECT_EQ(rig.ports->CurrentPortName(), "");
  EXPECT_EQ(rig.line->OpenCount(), 1) << "only the rig's own open";
  rig.line->FailOpens({false, true, "/dev/ttyFAKE", "uucp", "Permission denied"}, 2);
  std::vector<std::string> hints;
  rig.ports->onOpenFailed = [&](const OpenFailure& f) {
    EXPECT_EQ(PortFailureLine(f), "Schnittstelle /dev/ttyFAKE: Keine Berechtigung") << "the system's reason in German";
    hints.push_back(PermissionHint(f));
    return hints.size() == 1 ? kAnswerRetry : kAnswerCancel;
  };
  std::vector<bool> shown;  // the window's port display
  rig.ports->onPortShown = [&](const std::string&, bool open) { shown.push_back(open); };
  rig.ports->OpenPort("/dev/ttyFAKE");
  EXPECT_FALSE(rig.ports->IsPortOpen()) << "Retry, then Cancel";
  EXPECT_EQ(shown, std::vector<bool>(2, false)) << "a port that failed is never shown open";
  EXPECT_EQ(hints, std::vector<std::string>(2, "Keine Berechtigung für /dev/ttyFAKE: der Benutzer muss Mitglied der "
                                               "Gruppe \"uucp\" sein (danach neu anmelden)."));
  rig.ports->OpenPort("/dev/ttyFAKE");
  EXPECT_EQ(rig.line->OpenCount(), 3) << "the same name again is not retried";
  rig.ports->OpenPort("com3");
#if defined(_WIN32)
  EXPECT_EQ(rig.line->OpenedName(), "COM3") << "the number taken from the fourth character";
#else
  EXPECT_EQ(rig.line->OpenedName(), "com3") << "not a Windows name here";
#endif
  rig.ports->OpenPort("/dev/ttyFAKE");
  EXPECT_TRUE(rig.ports->IsPortOpen() && rig.ports->Reopen()) << "an open port needs no reopen";
  EXPECT_EQ(rig.line->OpenCount(), 5);
  EXPECT_EQ(PermissionHint(OpenFailure{}), "") << "no permission problem, no hint";
  EXPECT_EQ(PortFailureLine(OpenFailure{}), std::string(kTextPortNone));
  // The real line: a device that is not there fails with the device named and the system's reason.
#if defined(_WIN32)
  const std::string absent = "COM199", absentDevice = "\\\\.\\COM199";
#else
  const std::string absent = "/dev/rkt-no-such-port", absentDevice = absent;
#endif
  const std::unique_ptr<SerialLine> real = MakeSystemSerialLine();
  const OpenResult missing = real->Open(absent);
  EXPECT_TRUE(!missing.ok && !real->IsOpen() && missing.device == absentDevice && !missing.error.empty())
      << missing.device << ": " << missing.error;
}

TEST(PortIo, ReceiveChecksTheComplementAndGivesUpAfterTwoPeriods) {
  PortSettings s = FastPorts();
  s.detectTimeout = 20;
  Rig rig(FastSim(), s);
  const std::pair<Bytes, int> rows[] = {{{0x11, 0xEE}, kReceiveOk}, {{0x00, 0xFF}, kReceiveOk},
                                         {{0x11, 0x11}, kComplementError}, {{0x11}, kNoAnswer}, {{}, kNoAnswer}};
  for (const auto& [reply, status] : rows) {
    rig.ports->FlushInput();
    rig.line->Inject(reply);
    std::uint8_t b = 0;
    EXPECT_EQ(rig.ports->ReceiveByte(b), status) << reply.size() << " bytes";
    if (status == kReceiveOk) { EXPECT_EQ(b, reply[0]); }
  }
  rig.ports->FlushInput();
  QElapsedTimer clock;
  clock.start();
  const double cpu0 = test::ThreadCpuSeconds();
  std::string text = "unchanged";
  EXPECT_EQ(rig.ports->ReceiveText(text, 0), 0);
  EXPECT_EQ(rig.ports->ReceiveText(text, 2), 0);
  const qint64 waited = clock.elapsed();
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(waited >= 40 && waited < 400) << waited << " ms, not two periods of 20 ms";
  EXPECT_LT(1000.0 * (test::ThreadCpuSeconds() - cpu0), 0.5 * static_cast<double>(waited))
      << "the wait must block, not spin";
  rig.line->Inject(Bytes{1, 2, 3});
  EXPECT_EQ(rig.ports->ReceiveText(text, 2), 2);
  EXPECT_EQ(std::pair(text, rig.line->BytesAvailable()), std::pair(std::string("\x01\x02", 2), 1)) << "surplus stays";
  rig.ports->FlushInput();
  EXPECT_EQ(rig.line->BytesAvailable(), 0) << "flushed";
}

TEST(PortIo, SendTextTakesTheEchoOnlyWithEchoOnAndNothingWhileClosed) {
  for (const bool echo : {true, false}) {
    Rig rig(FastSim(), FastPorts(echo));
    rig.line->Record(true);
    rig.ports->SendText("LQ", echo ? 2 : 1);
    ASSERT_EQ(rig.line->Exchanges().size(), 1u);
    EXPECT_EQ(rig.line->Exchanges()[0].sent, (echo ? Bytes{'L', 'Q'} : Bytes{'L'})) << "count picks the characters";
    EXPECT_EQ(rig.line->BytesAvailable(), echo ? 0 : 1) << "the echo stays for the caller unless handled";
    rig.ports->ClosePort();
    rig.ports->SendText("V", 1);
    rig.ports->FlushInput();
    EXPECT_EQ(rig.line->BytesWritten(), echo ? 2 : 1) << "nothing is sent while closed";
  }
}

TEST(Protocol, ReadsWithAndWithoutEcho) {
  for (const bool echo : {true, false}) {
    Rig rig(FastSim(echo), FastPorts(echo));
    rig.sim->SetMemory(0, 7, 6);
    std::uint8_t type = 0;
    EXPECT_EQ(rig.sensor->ReadParamByte(false, kBlockIdent, kAddrTypeCode, type), 0) << echo;
    EXPECT_EQ(type, 6) << echo;
    DataSet::Block block{};
    EXPECT_EQ(rig.sensor->ReadBlock(false, kBlockIdent, block), 0) << echo;
    EXPECT_EQ(block[8], 6) << "LP 0 position 8 is the type code too; echo " << echo;
    EXPECT_EQ(rig.sensor->WriteParamByte(4, 77), 0) << echo;
    EXPECT_EQ(rig.sim->Memory(1, 4), 77) << echo;
  }
}

// One command of the kind, with progress, as the operations run it.
int RunCommand(Rig& rig, Command c) {
  std::uint8_t v = 0;
  DataSet::Block block{};
  if (c == Command::LQ) return rig.sensor->ReadParamByte(true, kBlockParams, 3, v);
  if (c == Command::LP) return rig.sensor->ReadBlock(true, kBlockName1, block);
  return rig.sensor->WriteParamByte(3, 41);
}

// A fault for good gives its code after five attempts with a full bar; one
// that passes meets an idle sensor, and progress tops up to five.
TEST(Protocol, FaultsGiveTheirCodeAfterFiveAttemptsOrPassOnARetry) {
  using C = Command;
  using F = Fault;
  constexpr int kAll = sim::kForever;
  const struct {
    Command command; Fault fault; int failures, value, code; std::vector<int> increments{1, 1, 1, 1, 1};
  } rows[] = {
      {C::LQ, F::Silence, kAll, 0, 1001},          {C::LQ, F::WrongComplement, kAll, 0, 1002},
      {C::LQ, F::WrongAddress, kAll, 0, 1002},     {C::LQ, F::WrongBlock, kAll, 0, 1005},
      {C::LP, F::Silence, kAll, 0, 1001},          {C::LP, F::WrongComplement, kAll, 0, 1002},
      {C::LP, F::WrongBlock, kAll, 0, 1005},       {C::PQ, F::Silence, kAll, 0, 1001},
      {C::PQ, F::WrongComplement, kAll, 0, 1002},  {C::PQ, F::WrongAcknowledge, kAll, 0, 1010},
      {C::PQ, F::WrongAddress, kAll, 0, 1010},     {C::PQ, F::StatusByte, kAll, 1, 1011},
      {C::PQ, F::StatusByte, kAll, 2, 1012},       {C::PQ, F::StatusByte, kAll, 3, 1010},
      {C::PQ, F::StatusByte, kAll, 10, 1010},      {C::PQ, F::WrongConfirmation, kAll, 0, 1020},
      {C::PQ, F::ReadBackDiffers, kAll, 0, 1021},  {C::LQ, F::WrongComplement, 5, 0, 1002},
      {C::LQ, F::WrongComplement, 0, 0, 0, {1, 4}}, {C::LQ, F::WrongComplement, 2, 0, 0, {1, 1, 1, 2}},
      {C::LQ, F::WrongBlock, 2, 0, 0, {1, 1, 1, 2}}, {C::PQ, F::WrongComplement, 0, 0, 0, {1, 4}},
      {C::PQ, F::WrongComplement, 1, 0, 0, {1, 1, 3}}, {C::PQ, F::WrongAddress, 2, 0, 0, {1, 1, 1, 2}},
      {C::LP, F::WrongComplement, 0, 0, 0, {1}},   {C::LP, F::WrongBlock, 2, 0, 0, {1, 1, 1}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    Rig rig;
    const std::uint8_t before = rig.sim->Memory(1, 3);
    rig.sim->InjectFault({r.fault, r.command, r.failures, r.value});
    EXPECT_EQ(RunCommand(rig, r.command), r.code);
    EXPECT_EQ(rig.sim->CommandCount(r.command), r.failures == kAll ? kCommandAttempts : std::min(r.failures + 1, 5));
    EXPECT_EQ(rig.user.increments, r.increments);
    if (r.command != Command::PQ || r.fault == Fault::WrongConfirmation) continue;
    // A "PQ" whose answer went wrong after the sensor took it is finished
    // with the meant bytes: each such attempt stores 41 at address 3, and
    // nothing else is ever stored.
    const bool finished = r.fault == F::WrongComplement || r.fault == F::WrongAcknowledge || r.fault == F::WrongAddress;
    const int stores = finished ? rig.sim->CommandCount(C::PQ) : r.code == 0 ? 1 : 0;
    EXPECT_EQ(rig.sim->StoredWrites(), (std::vector<std::pair<int, std::uint8_t>>(stores, {3, 41})));
    EXPECT_EQ(rig.sim->Memory(1, 3), stores > 0 ? 41 : before);
  }
  Rig rig;
  rig.sim->InjectFault({Fault::WrongComplement, Command::LQ});
  std::uint8_t v = 0;
  EXPECT_EQ(rig.sensor->ReadParamByte(false, kBlockParams, 3, v), 1002);
  EXPECT_EQ(rig.sim->CommandCount(Command::LQ), 1) << "without progress: one attempt";
  EXPECT_TRUE(rig.user.increments.empty());
  rig.user.cancelAtInc = 2;  // the third IncBar, before the third attempt
  EXPECT_EQ(rig.sensor->ReadParamByte(true, kBlockParams, 3, v), kCodeUserAbort);
  EXPECT_EQ(rig.sim->CommandCount(Command::LQ), 3);
}

// A sensor deaf to a "PQ" hears nothing until it drops back to idle, and
// every byte it ignores starts that time anew. Where no answer shows that
// the command has ended, the retry waits the sensor's reset time after the
// last byte sent; without that wait every retry is lost in the deafness.
TEST(Protocol, AWriteWithoutAnAnswerIsRetriedAfterTheSensorsResetTime) {
  // commands: the "PQ" commands the sensor heard.
  const struct { int sensorReset, commands, code; } rows[] = {{600, 2, 0}, {0, 1, 1001}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.sensorReset);
    sim::SimConfig slow = FastSim();
    slow.idleTimeout = std::chrono::milliseconds(400);
    PortSettings settings = FastPorts();
    settings.sensorReset = r.sensorReset;
    Rig rig(slow, settings);
    rig.sim->InjectFault({Fault::Silence, Command::PQ, 1});
    EXPECT_EQ(rig.sensor->WriteParamByte(3, 41), r.code);
    EXPECT_EQ(rig.sim->CommandCount(Command::PQ), r.commands);
    EXPECT_EQ(rig.sim->StoredWrites().size(), r.code == 0 ? 1u : 0u);
  }
}

TEST(Presence, ThirtyStepsAndMessagesByMode) {
  using M = test::RecordingUser::Message;
  const M noSensor{1, kButtonsRetryCancel, kHelpNoSensor};
  const struct {
    CheckMode mode; int silent, found, commands, bar, lastAttempt; std::vector<M> messages; int presence = 0;
  } rows[] = {
      {CheckMode::InOperation, 3, 1, 4, 30, 4, {}},
      {CheckMode::CommunicationTest, 0, 1, 1, 30, 1, {{3, kButtonsOk, 0}}},
      {CheckMode::Silent, sim::kForever, 0, 30, 0, 31, {}},
      {CheckMode::InOperation, 35, 1, 36, 30, 6, {noSensor}},  // Retry finds it
      {CheckMode::InOperation, sim::kForever, 0, 60, 30, 31, {noSensor, noSensor}},  // Retry, then Cancel
      {CheckMode::InOperation, 0, 0, 2, 30, 1, {noSensor, noSensor}, 3}};  // absent by its presence bit
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    Rig rig;
    rig.sim->InjectFault({Fault::Silence, Command::V, r.silent});
    rig.sim->SetMemory(0, kAddrPresence, static_cast<std::uint8_t>(r.presence));
    rig.user.answers = {kAnswerRetry};
    EXPECT_EQ(rig.sensor->CheckSensor(r.mode), r.found);
    EXPECT_EQ(rig.sim->CommandCount(Command::V), r.commands);
    EXPECT_EQ(rig.user.BarTotal(), r.bar);
    EXPECT_EQ(rig.sensor->LastPresenceAttempt(), r.lastAttempt);
    EXPECT_EQ(rig.user.messages, r.messages);
    EXPECT_EQ(rig.sensor->SensorConnected(), r.found == 1);
  }
}

TEST(SerialTrace, EveryByteInOrderAndSilenceAsATimeOut) {
  QTemporaryDir dir;
  for (const bool silent : {false, true}) {
    const std::string path = dir.filePath(silent ? "silent.txt" : "read.txt").toStdString();
    Rig rig;
    if (silent) rig.sim->InjectFault({Fault::Silence});
    SerialTrace trace;
    ASSERT_TRUE(trace.Open(path, "SIM"));
    rig.ports->SetTrace(&trace);
    EXPECT_EQ(silent ? rig.sensor->CheckSensor(CheckMode::Silent) : rig.sensor->ReadDataSet(false, false), 0);
    rig.ports->ClosePort();
    rig.ports->SendText("V", 1);  // a closed port sends nothing, and the trace must not say it did
    std::ifstream in(path);
    long long sent = 0, lines = 0, echoes = 0, timeOuts = 0;
    double last = -1, ms = 0;
    for (std::string line, direction; std::getline(in, line);) {
      std::istringstream fields(line);
      if (line.empty() || line[0] == '#' || !(fields >> ms >> direction)) continue;
      EXPECT_GE(ms, last) << "time stamps never go back: " << line;
      last = ms;
      if (++lines == 1 && !silent) { EXPECT_NE(line.find(">  4C 50"), std::string::npos) << "a read starts with LP"; }
      for (std::string hex; direction == ">" && fields >> hex;) ++sent;
      echoes += line.find("echo") != std::string::npos;
      timeOuts += line.find("(time-out: 0 of 2 bytes)") != std::string::npos;
    }
    EXPECT_EQ(sent, rig.line->BytesWritten()) << "every byte sent is in the trace";
    EXPECT_TRUE(lines >= 10 && echoes > 0) << lines << " lines, " << echoes << " echoes";
    EXPECT_EQ(timeOuts > 0, silent);
  }
  EXPECT_FALSE(SerialTrace().Open(dir.path().toStdString(), "")) << "a folder is no trace file";
}

// Trace names arrive as UTF-8. Windows reads a narrow name in its ANSI code
// page, so a folder such as "Prüfstand" was not found there and no trace was
// written; Qt's own file access is the independent witness.
TEST(SerialTrace, FolderAndFileNamesBeyondAscii) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("Prüfstand"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString file = folder + QStringLiteral("/Spur \u00c4\u20ac.txt");
  {
    SerialTrace trace;
    ASSERT_TRUE(trace.Open(file.toStdString(), "COM5"));
    trace.Note("gemessen");
    EXPECT_TRUE(trace.Good());
  }
  QFile written(file);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << "the trace is where its name says";
  const QByteArray text = written.readAll();
  EXPECT_TRUE(text.contains("on COM5") && text.contains("gemessen")) << text.constData();
  EXPECT_FALSE(SerialTrace().Open(folder.toStdString(), "")) << "the folder itself is no trace file";
}

}  // namespace
}  // namespace rkt::link
