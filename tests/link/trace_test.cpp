#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "link/serial_trace.h"
#include "support/link_rig.h"

namespace rkt {
namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') out.push_back(line);
  return out;
}

// Every byte of an exchange is in the trace, in order, with its direction.
TEST(SerialTrace, ARecordOfEveryByteOfARead) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("trace.txt").toStdString();
  test::Rig rig;
  link::SerialTrace trace;
  ASSERT_TRUE(trace.Open(path, "SIM"));
  rig.ports->SetTrace(&trace);
  ASSERT_EQ(rig.sensor->ReadDataSet(false, false), 0);

  const auto lines = Lines(path);
  ASSERT_GE(lines.size(), 10u);
  long long sent = 0;
  int echoes = 0;
  double last = -1;
  for (const std::string& line : lines) {
    std::istringstream fields(line);
    double ms = 0;
    char direction = 0;
    fields >> ms >> direction;
    EXPECT_GE(ms, last) << "time stamps never go back: " << line;
    last = ms;
    if (direction == '>') {
      for (std::string hex; fields >> hex;) ++sent;
    }
    if (line.find("echo") != std::string::npos) ++echoes;
  }
  EXPECT_EQ(sent, rig.line->BytesWritten()) << "every byte sent is in the trace";
  EXPECT_GT(echoes, 0);
  EXPECT_NE(lines.front().find(">  4C 50"), std::string::npos) << "the read starts with LP: " << lines.front();
}

TEST(SerialTrace, SilenceShowsAsATimeOut) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("trace.txt").toStdString();
  test::Rig rig;
  rig.sim->InjectFault({sim::Fault::Silence});
  link::SerialTrace trace;
  ASSERT_TRUE(trace.Open(path, "SIM"));
  rig.ports->SetTrace(&trace);
  EXPECT_EQ(rig.sensor->CheckSensor(link::CheckMode::Silent), 0);
  const auto lines = Lines(path);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.find("(time-out: 0 of 2 bytes)") != std::string::npos; }),
            lines.end());
  EXPECT_FALSE(link::SerialTrace().Open(dir.path().toStdString(), "")) << "a folder is no trace file";
}

}  // namespace
}  // namespace rkt
