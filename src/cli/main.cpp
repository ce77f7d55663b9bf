#include <csignal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "text/messages.h"

int main(int argc, char** argv) {
  // A reader of the output that goes away (a closed pipe) makes the next
  // write fail instead of ending the program, perhaps halfway through a
  // sensor write; the failure is reported below.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::error_code ec;
    // The running program itself where the system tells it, else argv[0].
    auto exe = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::canonical(argv[0], ec);
    if (!ec) rkt::cli::SetProgramDir(exe.parent_path());
    return rkt::cli::RunCli(args, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << rkt::MessageDisplayText(rkt::kErrorOutOfMemory) << "\n";
  } catch (const std::exception& e) {
    std::cerr << rkt::MessageDisplayText(rkt::kErrorInternal) << "\n" << e.what() << "\n";
  } catch (...) {
    std::cerr << rkt::MessageDisplayText(rkt::kErrorInternal) << "\n";
  }
  return rkt::cli::kExitFailure;
}
