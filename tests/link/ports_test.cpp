#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <deque>

#include "link/port_list.h"
#include "link/ports.h"
#include "link/sensor_user.h"
#include "support/link_rig.h"

namespace rkt::link {
namespace {

// A line whose input the test fills by hand; it can echo what is written.
class FakeLine final : public SerialLine {
 public:
  bool echo = false;
  std::vector<std::uint8_t> written;
  std::deque<std::uint8_t> input;
  int opens = 0;
  int failOpens = 0;
  OpenResult failure;

  OpenResult Open(const std::string& name) override {
    ++opens;
    if (failOpens > 0) {
      --failOpens;
      return failure;
    }
    m_open = true;
    OpenResult r;
    r.ok = true;
    r.device = name;
    return r;
  }
  void Close() override { m_open = false; }
  bool IsOpen() const override { return m_open; }
  void Write(std::span<const std::uint8_t> bytes) override {
    written.insert(written.end(), bytes.begin(), bytes.end());
    if (echo) input.insert(input.end(), bytes.begin(), bytes.end());
  }
  int BytesAvailable() override { return static_cast<int>(input.size()); }
  std::vector<std::uint8_t> Read(int count) override {
    std::vector<std::uint8_t> out;
    while (count-- > 0 && !input.empty()) {
      out.push_back(input.front());
      input.pop_front();
    }
    return out;
  }
  void DiscardInput() override { input.clear(); }
  bool WaitForBytes(int count, QDeadlineTimer deadline) override {
    while (BytesAvailable() < count) {
      const qint64 left = deadline.remainingTime();
      if (left == 0) return false;
      QEventLoop loop;
      QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
      loop.exec();
    }
    return true;
  }
  void Interrupt(bool on) override { interrupted = on; }
  bool interrupted = false;

 private:
  bool m_open = false;
};

struct PortsFixture : ::testing::Test {
  void SetUp() override {
    test::EnsureQtApp();
    auto owned = std::make_unique<FakeLine>();
    line = owned.get();
    ports = std::make_unique<Ports>(std::move(owned));
    PortSettings s;
    s.detectTimeout = 20;
    ports->InitPorts(s);
  }
  void Open() { ports->OpenPort("/dev/ttyFAKE"); }

  FakeLine* line = nullptr;
  std::unique_ptr<Ports> ports;
};

TEST(TimeoutSetting, FallsBackUnlessPositiveNumber) {
  const struct {
    const char* text;
    int expected;
  } rows[] = {
      {"100", 100}, {" 250", 250}, {"12.6", 13}, {"0", 77},    {"-5", 77},
      {"abc", 77},  {"", 77},      {"0.2", 77},  {"99999", 32767},
  };
  for (const auto& r : rows) EXPECT_EQ(TimeoutFromSetting(r.text, 77), r.expected) << "setting '" << r.text << "'";
}

TEST(TimeoutSetting, EchoOffOnlyForNoecho) {
  EXPECT_FALSE(EchoFromSetting("noecho"));
  EXPECT_FALSE(EchoFromSetting("NoEcho"));
  EXPECT_TRUE(EchoFromSetting("Echo"));
  EXPECT_TRUE(EchoFromSetting(""));
}

TEST(PortNames, OnlyComNamesAreNumbered) {
  const struct {
    const char* name;
    bool windows;
    const char* expected;
  } rows[] = {
      {"COM1", true, "COM1"},          {"COM12", true, "COM12"}, {"com3", true, "COM3"},
      {"COMx", true, ""},              {"COM", true, ""},        {"COM0", true, ""},
      {"/dev/ttyUSB0", false, "/dev/ttyUSB0"}, {"COM3", false, "COM3"}, {"/tmp/rkt-link", false, "/tmp/rkt-link"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(SystemPortName(r.name, r.windows), r.expected) << r.name << (r.windows ? " on Windows" : " elsewhere");
}

TEST(PortList, DropsRepeatsAndIsNeverEmpty) {
  EXPECT_EQ(PortListFrom({"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyUSB0"}, false),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS0"}));
  EXPECT_EQ(PortListFrom({}, false), std::vector<std::string>{"/dev/ttyS0"});
  EXPECT_EQ(PortListFrom({""}, true), std::vector<std::string>{"COM1"});
  EXPECT_FALSE(ListSerialPorts().empty());
}

TEST(PortList, StableNamesFirstThenAdaptersModemsAndBuiltInPorts) {
  EXPECT_EQ(OrderLinuxPorts({"/dev/serial/by-id/usb-B", "/dev/serial/by-id/usb-A"},
                            {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/rfcomm0", "/dev/ttyUSB1", "/dev/ttyUSB0"}),
            (std::vector<std::string>{"/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-B", "/dev/ttyUSB0",
                                      "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/rfcomm0"}));
  EXPECT_TRUE(OrderLinuxPorts({}, {}).empty()) << "no port: no default either";
}

TEST(PortTexts, ComeFromTheLanguage) {
  OpenFailure f{"/dev/ttyUSB3", {}};
  f.result.error = "Permission denied";
  f.result.permissionDenied = true;
  f.result.device = "/dev/ttyUSB3";
  f.result.group = "uucp";
  EXPECT_EQ(PortFailureLine(f), "Schnittstelle /dev/ttyUSB3: Permission denied");
  EXPECT_EQ(PermissionHint(f),
            "Keine Berechtigung für /dev/ttyUSB3: der Benutzer muss Mitglied der Gruppe \"uucp\" sein (danach neu "
            "anmelden).");
  EXPECT_EQ(PortFailureLine(OpenFailure{}), std::string(kTextPortNone));
}

TEST_F(PortsFixture, OpenPortWithEmptyNameChangesNothing) {
  ports->OpenPort("");
  EXPECT_EQ(ports->CurrentPortName(), "");
  EXPECT_EQ(line->opens, 0);
}

TEST_F(PortsFixture, FailedOpenAsksAndRetryOpensAgain) {
  line->failOpens = 2;
  line->failure.permissionDenied = true;
  line->failure.device = "/dev/ttyFAKE";
  line->failure.group = "dialout";
  std::vector<std::string> hints;
  std::deque<int> answers = {kAnswerRetry, kAnswerRetry};
  ports->onOpenFailed = [&](const OpenFailure& f) {
    hints.push_back(PermissionHint(f));
    const int a = answers.front();
    answers.pop_front();
    return a;
  };
  Open();
  EXPECT_TRUE(ports->IsPortOpen());
  EXPECT_EQ(line->opens, 3);
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_NE(hints[0].find("dialout"), std::string::npos) << hints[0];
  EXPECT_NE(hints[0].find("/dev/ttyFAKE"), std::string::npos) << hints[0];
}

TEST_F(PortsFixture, CancelledOpenIsNotRetriedForTheSameName) {
  line->failOpens = 1;
  int asked = 0;
  ports->onOpenFailed = [&](const OpenFailure& f) {
    ++asked;
    EXPECT_EQ(PermissionHint(f), "") << "no permission problem, no hint";
    return kAnswerCancel;
  };
  Open();
  EXPECT_FALSE(ports->IsPortOpen());
  EXPECT_EQ(ports->CurrentPortName(), "/dev/ttyFAKE");
  Open();  // same name: nothing happens, even though it failed
  EXPECT_EQ(line->opens, 1);
  EXPECT_EQ(asked, 1);
  ports->OpenPort("/dev/ttyOTHER");
  Open();
  EXPECT_TRUE(ports->IsPortOpen());
  EXPECT_EQ(line->opens, 3);
}

TEST_F(PortsFixture, ReceiveByteChecksTheComplement) {
  Open();
  const struct {
    std::vector<std::uint8_t> reply;
    int status;
    int byte;
  } rows[] = {
      {{0x11, 0xEE}, kReceiveOk, 0x11},
      {{0x00, 0xFF}, kReceiveOk, 0x00},
      {{0x11, 0x11}, kComplementError, -1},
      {{0x11}, kNoAnswer, -1},
      {{}, kNoAnswer, -1},
  };
  for (const auto& r : rows) {
    ports->FlushInput();
    line->input.assign(r.reply.begin(), r.reply.end());
    std::uint8_t b = 0;
    EXPECT_EQ(ports->ReceiveByte(b), r.status) << "reply of " << r.reply.size() << " bytes";
    if (r.byte >= 0) {
      EXPECT_EQ(b, r.byte);
    }
  }
}

TEST_F(PortsFixture, ReceiveGivesUpAfterTwoPeriodsAndLeavesLateBytes) {
  Open();
  QElapsedTimer clock;
  clock.start();
  const std::clock_t cpu0 = std::clock();
  std::string text = "unchanged";
  EXPECT_EQ(ports->ReceiveText(text, 2), 0);
  const qint64 waited = clock.elapsed();
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  EXPECT_EQ(text, "unchanged");
  EXPECT_GE(waited, 40) << "two periods of 20 ms";
  EXPECT_LT(waited, 400);
  EXPECT_LT(cpuMs, 0.5 * static_cast<double>(waited)) << "the wait must block, not spin";

  // Bytes that come after the receive gave up stay until the next flush.
  line->input = {1, 2, 3};
  EXPECT_EQ(ports->ReceiveText(text, 2), 2);
  EXPECT_EQ(text, std::string("\x01\x02", 2));
  EXPECT_EQ(line->BytesAvailable(), 1) << "surplus byte stays";
  ports->FlushInput();
  EXPECT_EQ(line->BytesAvailable(), 0);
}

TEST_F(PortsFixture, SendTextTakesTheEchoOnlyWithEchoOn) {
  Open();
  line->echo = true;
  ports->SendText("LQ", 2);
  EXPECT_EQ(line->written, (std::vector<std::uint8_t>{'L', 'Q'}));
  EXPECT_EQ(line->BytesAvailable(), 0) << "echo consumed";

  PortSettings s;
  s.echo = EchoFromSetting("NoEcho");
  ports->InitPorts(s);
  Open();
  line->written.clear();
  ports->SendText("LQ", 1);
  EXPECT_EQ(line->written, (std::vector<std::uint8_t>{'L'})) << "count 1 sends only the first character";
  EXPECT_EQ(line->BytesAvailable(), 1) << "without echo handling the echo stays for the caller";
}

TEST_F(PortsFixture, NothingIsSentWhileClosed) {
  ports->SendText("V", 1);
  ports->FlushInput();
  EXPECT_TRUE(line->written.empty());
}

}  // namespace
}  // namespace rkt::link
