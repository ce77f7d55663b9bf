// rkt410-sim serving several pseudo-terminals from one process: a sensor of
// its own on each, serial numbers that never meet, state files per port, and
// the worker who swaps the sensors.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The program with its device lines read; SIGTERM when it goes.
struct Sim {
  Sim(const QStringList& args, int ports) {
    process.start(RKT_SIM_PATH, args);
    while (process.state() != QProcess::NotRunning && static_cast<int>(devices.size()) < ports) {
      if (!process.canReadLine() && !process.waitForReadyRead(5000)) break;
      while (process.canReadLine()) devices.push_back(process.readLine().trimmed().toStdString());
    }
  }
  ~Sim() { Stop(); }
  int Stop() {
    process.terminate();
    process.waitForFinished(5000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }
  QProcess process;
  std::vector<std::string> devices;
};

// Sends bytes on a port and collects what comes back until `want` bytes or
// `ms` have passed.
Bytes Exchange(const std::string& path, const Bytes& send, std::size_t want, int ms) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {};
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  ::tcflush(fd, TCIFLUSH);
  Bytes got;
  if (::write(fd, send.data(), send.size()) == static_cast<ssize_t>(send.size())) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < want && Clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 1))) <= 0) continue;
      std::uint8_t buf[64];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
  }
  ::close(fd);
  return got;
}

// The serial number the sensor on a port reports ("LP" of block 0, echoed);
// -1: only the echo came (an empty socket); -2: anything else.
int SerialOn(const std::string& path, int ms = 2000) {
  const Bytes got = Exchange(path, {'L', 'P', 0}, 37, ms);
  if (got.size() == 3) return -1;
  if (got.size() != 37) return -2;
  return got[5] * 256 + got[7];
}

TEST(SimProgram, EachPortHasASensorOfItsOwnAndItsOwnStateFile) {
  QTemporaryDir dir;
  const QString links = dir.filePath("rkt%d"), states = dir.filePath("state%d.json");
  const auto numbered = [](QString pattern, int n) { return pattern.replace("%d", QString::number(n)); };
  const auto link = [&](int n) { return numbered(links, n).toStdString(); };
  Sim sim({"--link", links, "--count", "3", "--serial", "100", "--state", states, "--baud-timing"}, 3);
  ASSERT_EQ(sim.devices.size(), 3u);
  EXPECT_EQ(std::set(sim.devices.begin(), sim.devices.end()).size(), 3u);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(QFile::symLinkTarget(QString::fromStdString(link(n))).toStdString(), sim.devices[n - 1]) << n;
    EXPECT_EQ(SerialOn(link(n)), 99 + n) << n;
  }
  // A write on port 2 changes port 2's sensor only.
  const Bytes pq{'P', 'Q', 4, 33, 33};
  EXPECT_EQ(Exchange(link(2), pq, 15, 2000).size(), 15u);
  ASSERT_EQ(sim.Stop(), 0);
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(QFileInfo(QString::fromStdString(link(n))).isSymLink()) << "the link goes with the program";
    QFile file(numbered(states, n));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject blocks = QJsonDocument::fromJson(file.readAll()).object()["blocks"].toObject();
    EXPECT_EQ(blocks["0"].toArray()[1].toInt(), 99 + n);
    EXPECT_EQ(blocks["1"].toArray()[4].toInt(), n == 2 ? 33 : 10);
  }
}

TEST(SimProgram, RefusesWhatItCannotServe) {
  QTemporaryDir dir;
  const QString link = dir.filePath("rkt");
  const QStringList rows[] = {
      {"--link", link, "--count", "2"},                                  // two ports, one link
      {"--link", link + "%d", "--count", "2", "--state", link + ".json"},  // two sensors, one state file
      {"--link", link, "--swap-gap", "100"},                             // a gap without swaps
      {"--link", link, "--serial", "65536"},
      {"--link", link, "--count", "0"},
      {"--link", link, "--swap-every", "-1"},
  };
  for (const QStringList& args : rows) {
    QProcess p;
    p.start(RKT_SIM_PATH, args);
    ASSERT_TRUE(p.waitForFinished(5000)) << args.join(' ').toStdString();
    EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    EXPECT_TRUE(p.readAllStandardError().contains("Usage:")) << args.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(link)) << "nothing made";
  }
}

// Each port sees a sensor, an empty socket, then a sensor with the port's
// next serial number: port i of 2 counts 500 + i - 1, + 2, + 2, ...
TEST(SimProgram, AWorkerSwapsTheSensorsOnEveryPortWithoutRepeatingASerialNumber) {
  QTemporaryDir dir;
  const QString links = dir.filePath("rkt%d");
  Sim sim({"--link", links, "--count", "2", "--serial", "500", "--swap-every", "400", "--swap-gap", "300"}, 2);
  ASSERT_EQ(sim.devices.size(), 2u);
  std::vector<int> seen[2];  // per port: serial numbers and -1 for the empty socket, without repeats in a row
  const auto done = [&](const std::vector<int>& s) { return std::count_if(s.begin(), s.end(), [](int v) { return v >= 0; }) >= 2; };
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!(done(seen[0]) && done(seen[1])) && Clock::now() < end) {
    for (int i = 0; i < 2; ++i) {
      const int serial = SerialOn(QString(links).replace("%d", QString::number(i + 1)).toStdString(), 100);
      if (serial != -2 && (seen[i].empty() || seen[i].back() != serial)) seen[i].push_back(serial);
    }
  }
  std::set<int> all;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(done(seen[i]));
    std::vector<int> serials;
    for (std::size_t k = 0; k < seen[i].size(); ++k) {
      if (seen[i][k] < 0) continue;
      EXPECT_TRUE(k == 0 || seen[i][k - 1] == -1) << "an empty socket between two sensors";
      serials.push_back(seen[i][k]);
      all.insert(seen[i][k]);
    }
    EXPECT_GE(serials[0], 500 + i);
    EXPECT_EQ((serials[0] - 500 - i) % 2, 0);
    EXPECT_EQ(serials[1], serials[0] + 2);
  }
  EXPECT_EQ(all.size(), 4u);
}

}  // namespace
