// rkt410-sim: the simulated sensor on a pseudo-terminal, for trying the
// program and its command line without hardware.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sensor_simulator.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

int Usage(const char* problem) {
  if (problem) std::cerr << "rkt410-sim: " << problem << "\n";
  std::cerr << "Usage: rkt410-sim --link PATH [--noecho] [--baud-timing] [--state FILE.json] [--type N] [--locked]\n"
               "                  [--reset-ms MS] [--faults LIST]\n"
               "  Creates a pseudo-terminal with a simulated RKT 410 sensor, makes PATH a symbolic\n"
               "  link to it, prints the device name and serves until SIGINT or SIGTERM; then\n"
               "  writes the sensor's memory to --state when given (read from it at start when\n"
               "  it exists).\n"
               "  --noecho        the interface does not repeat the bytes the PC sends\n"
               "  --baud-timing   bytes take their time on a 1200-baud line (11 bits each)\n"
               "  --type N        type code (default 1)\n"
               "  --locked        programming lock on\n"
               "  --reset-ms MS   the sensor's reset time: a command left unfinished is dropped after\n"
               "                  MS without a byte (150); 0: never, only its remaining bytes end it\n"
               "                  (--idle-timeout MS is the older name)\n"
               "  --faults LIST   comma-separated faults, each NAME (every command it fits) or NAME@N\n"
               "                  (only the N-th): lost-write (a \"PQ\" byte is confirmed but not kept),\n"
               "                  read-back-differs, silence, wrong-complement, wrong-block, wrong-address,\n"
               "                  wrong-acknowledge, wrong-confirmation, no-lp=B (\"LP\" to block B gets\n"
               "                  no answer; no-lp alone: block 1)\n";
  return 2;
}

bool ParseInt(const std::string& s, int lo, int hi, int& out) {
  try {
    std::size_t used = 0;
    const int v = std::stoi(s, &used);
    if (used != s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

int RunSimulator(int argc, char** argv) {
  using namespace rkt::sim;
  std::string link;
  std::string stateFile;
  SimConfig config;
  bool typeGiven = false;
  std::vector<FaultPlan> faults;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--link") {
      if (!next(link)) return Usage("--link needs a path");
    } else if (a == "--state") {
      if (!next(stateFile)) return Usage("--state needs a file");
    } else if (a == "--type") {
      if (!next(v) || !ParseInt(v, 0, 255, config.typeCode)) return Usage("--type needs a number 0..255");
      typeGiven = true;
    } else if (a == "--reset-ms" || a == "--idle-timeout") {
      int ms = 0;
      if (!next(v) || !ParseInt(v, 0, 60000, ms)) return Usage((a + " needs milliseconds 0..60000").c_str());
      config.idleTimeout = std::chrono::milliseconds(ms);
    } else if (a == "--faults") {
      if (!next(v)) return Usage("--faults needs a list");
      std::stringstream list(v);
      for (std::string item; std::getline(list, item, ',');) {
        const auto plan = ParseFaultPlan(item);
        if (!plan) return Usage(("unknown fault " + item).c_str());
        faults.push_back(*plan);
      }
    } else if (a == "--noecho") {
      config.echo = false;
    } else if (a == "--baud-timing") {
      config.baudTiming = true;
    } else if (a == "--locked") {
      config.locked = true;
    } else if (a == "--help" || a == "-h") {
      Usage(nullptr);
      return 0;
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }
  if (link.empty()) return Usage("--link is required");

  SensorSimulator sim(config);
  for (const FaultPlan& plan : faults) sim.InjectFault(plan);
  if (!stateFile.empty()) {
    std::ifstream in(stateFile, std::ios::binary);
    if (in) {
      std::stringstream ss;
      ss << in.rdbuf();
      if (!sim.LoadState(ss.str())) {
        std::cerr << "rkt410-sim: " << stateFile << " is not a state file\n";
        return 1;
      }
      if (typeGiven) sim.SetMemory(0, 7, static_cast<std::uint8_t>(config.typeCode));
      if (config.locked) sim.SetMemory(1, 1, sim.Memory(1, 1) & ~0x04);
    }
  }

  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::cerr << "rkt410-sim: cannot create a pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  // The slave stays open here so the line survives clients closing it; raw,
  // so that its line discipline neither echoes nor alters bytes.
  termios tio{};
  ::tcgetattr(slave, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave, TCSANOW, &tio);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      std::cerr << "rkt410-sim: " << link << " exists and is not a symbolic link\n";
      return 1;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(name, link.c_str()) != 0) {
    std::cerr << "rkt410-sim: cannot create " << link << ": " << std::strerror(errno) << "\n";
    return 1;
  }

  if (::pipe(g_signalPipe) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);

  std::cout << name << std::endl;

  std::deque<TimedByte> pending;
  for (;;) {
    pollfd fds[2] = {{master, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
    timespec wait{};
    timespec* waitp = nullptr;
    if (!pending.empty()) {
      const auto due = std::max(pending.front().at - Clock::now(), Clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due).count();
      wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      waitp = &wait;
    }
    const int n = ::ppoll(fds, 2, waitp, nullptr);
    if (n < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) break;
    if (fds[0].revents & POLLIN) {
      std::uint8_t buf[256];
      const ssize_t got = ::read(master, buf, sizeof buf);
      if (got > 0) {
        for (const TimedByte& b : sim.Write(std::span(buf, static_cast<std::size_t>(got)), Clock::now()))
          pending.push_back(b);
      }
    }
    std::string due;
    const auto now = Clock::now();
    while (!pending.empty() && pending.front().at <= now) {
      due.push_back(static_cast<char>(pending.front().value));
      pending.pop_front();
    }
    std::size_t off = 0;
    while (off < due.size()) {
      const ssize_t put = ::write(master, due.data() + off, due.size() - off);
      if (put > 0) {
        off += static_cast<std::size_t>(put);
      } else if (errno != EAGAIN && errno != EINTR) {
        break;
      } else {
        pollfd out{master, POLLOUT, 0};
        ::poll(&out, 1, 100);
      }
    }
  }

  ::unlink(link.c_str());
  if (!stateFile.empty()) {
    std::ofstream out(stateFile, std::ios::binary | std::ios::trunc);
    out << sim.SaveState();
    out.close();  // the last bytes reach the file here; a failure shows now
    if (!out) {
      std::cerr << "rkt410-sim: cannot write " << stateFile << "\n";
      return 1;
    }
  }
  return 0;
}

// Whatever goes wrong inside ends with a message and a failure status, not
// an abort.
int main(int argc, char** argv) {
  try {
    return RunSimulator(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rkt410-sim: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "rkt410-sim: unexpected error\n");
  }
  return 1;
}
