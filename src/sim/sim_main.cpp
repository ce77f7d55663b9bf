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
#include <memory>
#include <optional>
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
  std::cerr << "Usage: rkt410-sim --link PATH [--count N] [--serial N] [--noecho] [--baud-timing]\n"
               "                  [--state FILE.json] [--type N] [--locked] [--reset-ms MS] [--faults LIST]\n"
               "                  [--swap-every MS [--swap-gap MS] [--swap-jitter MS]]\n"
               "  Creates a pseudo-terminal with a simulated RKT 410 sensor, makes PATH a symbolic\n"
               "  link to it, prints the device name and serves until SIGINT or SIGTERM; then\n"
               "  writes the sensor's memory to --state when given (read from it at start when\n"
               "  it exists).\n"
               "  --count N       N pseudo-terminals (1..256), each with its own sensor and a line\n"
               "                  with its device name; %d in PATH (and in FILE) becomes 1..N\n"
               "  --serial N      the first sensor's serial number (12345), +1 for each port\n"
               "  --noecho        the interface does not repeat the bytes the PC sends\n"
               "  --baud-timing   bytes take their time on a 1200-baud line (11 bits each)\n"
               "  --state FILE    with --count above 1, FILE needs %d: one file per port\n"
               "  --type N        type code (default 1)\n"
               "  --locked        programming lock on\n"
               "  --reset-ms MS   the sensor's reset time: a command left unfinished is dropped after\n"
               "                  MS without a byte (150); 0: never, only its remaining bytes end it\n"
               "                  (--idle-timeout MS is the older name)\n"
               "  --faults LIST   comma-separated faults, each NAME (every command it fits) or NAME@N\n"
               "                  (only the N-th): lost-write (a \"PQ\" byte is confirmed but not kept),\n"
               "                  read-back-differs, silence, wrong-complement, wrong-block, wrong-address,\n"
               "                  wrong-acknowledge, wrong-confirmation, no-lp=B (\"LP\" to block B gets\n"
               "                  no answer; no-lp alone: block 1)\n"
               "  --swap-every MS a worker swaps the sensors: each stays MS in its socket, then the\n"
               "                  socket is empty for --swap-gap MS (500) and a new sensor with a new\n"
               "                  serial number goes in (port i of N: serial + i, + i + N, ...; 16 bits,\n"
               "                  so they repeat after 65536 sensors); --swap-jitter MS adds a random\n"
               "                  0..MS to each stay, so that sensors are pulled at any moment\n";
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

// The pattern with every %d replaced by n.
std::string Numbered(const std::string& pattern, int n) {
  std::string out = pattern;
  for (std::size_t at = out.find("%d"); at != std::string::npos; at = out.find("%d", at)) {
    out.replace(at, 2, std::to_string(n));
    at += std::to_string(n).size();
  }
  return out;
}

// One pseudo-terminal with its sensor.
struct Port {
  explicit Port(const rkt::sim::SimConfig& config) : sim(config) {}
  rkt::sim::SensorSimulator sim;
  int master = -1;
  int slave = -1;
  std::string device, link, stateFile;
  std::deque<rkt::sim::TimedByte> pending;  // answers not yet due
  std::string out;                          // due, not yet taken by the pseudo-terminal
};

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  text = ss.str();
  return true;
}

}  // namespace

int RunSimulator(int argc, char** argv) {
  using namespace rkt::sim;
  std::string linkPattern;
  std::string statePattern;
  SimConfig config;
  bool typeGiven = false;
  int count = 1;
  int swapEvery = 0, swapGap = 500, swapJitter = 0;
  bool swapOptions = false;
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
      if (!next(linkPattern)) return Usage("--link needs a path");
    } else if (a == "--state") {
      if (!next(statePattern)) return Usage("--state needs a file");
    } else if (a == "--count") {
      if (!next(v) || !ParseInt(v, 1, 256, count)) return Usage("--count needs a number 1..256");
    } else if (a == "--serial") {
      if (!next(v) || !ParseInt(v, 0, 65535, config.serial)) return Usage("--serial needs a number 0..65535");
    } else if (a == "--swap-every" || a == "--swap-gap" || a == "--swap-jitter") {
      int& target = a == "--swap-every" ? swapEvery : a == "--swap-gap" ? swapGap : swapJitter;
      if (!next(v) || !ParseInt(v, 0, 3'600'000, target)) return Usage((a + " needs milliseconds 0..3600000").c_str());
      swapOptions = swapOptions || a != "--swap-every";
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
  if (linkPattern.empty()) return Usage("--link is required");
  if (count > 1 && linkPattern.find("%d") == std::string::npos)
    return Usage("--count above 1 needs %d in the --link path");
  if (count > 1 && !statePattern.empty() && statePattern.find("%d") == std::string::npos)
    return Usage("--count above 1 needs %d in the --state file: one file per port");
  if (swapOptions && swapEvery == 0) return Usage("--swap-gap and --swap-jitter need --swap-every");

  // Each port's sensors take every count-th serial number, so that no two
  // ports ever hand out the same one.
  std::vector<std::unique_ptr<Port>> ports;
  for (int n = 1; n <= count; ++n) {
    SimConfig c = config;
    c.serial = config.serial + n - 1;
    if (swapEvery > 0) {
      c.swap = SwapPlan{.present = std::chrono::milliseconds(swapEvery),
                        .absent = std::chrono::milliseconds(swapGap),
                        .presentJitter = std::chrono::milliseconds(swapJitter),
                        .seed = static_cast<std::uint32_t>(n),
                        .firstSerial = kSerialFromConfig,
                        .step = count};
    }
    auto& port = *ports.emplace_back(std::make_unique<Port>(c));
    for (const FaultPlan& plan : faults) port.sim.InjectFault(plan);
    port.link = Numbered(linkPattern, n);
    if (!statePattern.empty()) {
      port.stateFile = Numbered(statePattern, n);
      std::string json;
      if (ReadFile(port.stateFile, json)) {
        if (!port.sim.LoadState(json)) {
          std::cerr << "rkt410-sim: " << port.stateFile << " is not a state file\n";
          return 1;
        }
        if (typeGiven) port.sim.SetMemory(0, 7, static_cast<std::uint8_t>(config.typeCode));
        if (config.locked) port.sim.SetMemory(1, 1, port.sim.Memory(1, 1) & ~0x04);
      }
    }
  }

  // The links made so far go again whatever ends the program.
  std::vector<std::string> made;
  const auto removeLinks = [&] {
    for (const std::string& l : made) ::unlink(l.c_str());
  };
  for (auto& p : ports) {
    char name[256] = {};
    if (::openpty(&p->master, &p->slave, name, nullptr, nullptr) != 0) {
      std::cerr << "rkt410-sim: cannot create a pseudo-terminal: " << std::strerror(errno) << "\n";
      removeLinks();
      return 1;
    }
    p->device = name;
    // The slave stays open here so the line survives clients closing it; raw,
    // so that its line discipline neither echoes nor alters bytes.
    termios tio{};
    ::tcgetattr(p->slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(p->slave, TCSANOW, &tio);
    ::fcntl(p->master, F_SETFL, ::fcntl(p->master, F_GETFL) | O_NONBLOCK);

    struct stat st {};
    if (::lstat(p->link.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::cerr << "rkt410-sim: " << p->link << " exists and is not a symbolic link\n";
        removeLinks();
        return 1;
      }
      ::unlink(p->link.c_str());
    }
    if (::symlink(name, p->link.c_str()) != 0) {
      std::cerr << "rkt410-sim: cannot create " << p->link << ": " << std::strerror(errno) << "\n";
      removeLinks();
      return 1;
    }
    made.push_back(p->link);
  }

  if (::pipe(g_signalPipe) != 0) {
    removeLinks();
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);

  // The swap plans start now, not at each port's first byte.
  const auto start = Clock::now();
  for (auto& p : ports) {
    p->sim.Advance(start);
    std::cout << p->device << "\n";
  }
  std::cout << std::flush;

  std::vector<pollfd> fds(ports.size() + 1);
  bool stop = false;
  while (!stop) {
    // Sleep until a port has input or room for its output, an answer byte
    // is due, or a signal comes.
    std::optional<Clock::time_point> due;
    for (std::size_t i = 0; i < ports.size(); ++i) {
      const Port& p = *ports[i];
      fds[i] = {p.master, static_cast<short>(POLLIN | (p.out.empty() ? 0 : POLLOUT)), 0};
      if (!p.pending.empty()) due = std::min(p.pending.front().at, due.value_or(p.pending.front().at));
    }
    fds.back() = {g_signalPipe[0], POLLIN, 0};
    timespec wait{};
    if (due) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::max(*due - Clock::now(), Clock::duration::zero())).count();
      wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    const int n = ::ppoll(fds.data(), fds.size(), due ? &wait : nullptr, nullptr);
    if (n < 0 && errno != EINTR) break;
    if (fds.back().revents & POLLIN) stop = true;
    for (std::size_t i = 0; i < ports.size() && !stop; ++i) {
      Port& p = *ports[i];
      if (fds[i].revents & POLLIN) {
        std::uint8_t buf[256];
        const ssize_t got = ::read(p.master, buf, sizeof buf);
        if (got > 0) {
          for (const TimedByte& b : p.sim.Write(std::span(buf, static_cast<std::size_t>(got)), Clock::now()))
            p.pending.push_back(b);
        }
      }
      const auto now = Clock::now();
      while (!p.pending.empty() && p.pending.front().at <= now) {
        if (p.sim.Arrives(p.pending.front())) p.out.push_back(static_cast<char>(p.pending.front().value));
        p.pending.pop_front();
      }
      // What the pseudo-terminal cannot take now waits for POLLOUT; the
      // other ports go on meanwhile.
      while (!p.out.empty()) {
        const ssize_t put = ::write(p.master, p.out.data(), p.out.size());
        if (put > 0) {
          p.out.erase(0, static_cast<std::size_t>(put));
        } else if (put < 0 && errno == EINTR) {
          continue;
        } else {
          if (put < 0 && errno != EAGAIN) p.out.clear();  // nobody can take it
          break;
        }
      }
    }
  }

  removeLinks();
  int status = 0;
  for (const auto& p : ports) {
    if (p->stateFile.empty()) continue;
    std::ofstream out(p->stateFile, std::ios::binary | std::ios::trunc);
    out << p->sim.SaveState();
    out.close();  // the last bytes reach the file here; a failure shows now
    if (!out) {
      std::cerr << "rkt410-sim: cannot write " << p->stateFile << "\n";
      status = 1;
    }
  }
  return status;
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
