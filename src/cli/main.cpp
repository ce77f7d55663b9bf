#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::error_code ec;
  // The running program itself where the system tells it, else argv[0].
  auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::canonical(argv[0], ec);
  if (!ec) rkt::cli::SetProgramDir(exe.parent_path());
  return rkt::cli::RunCli(args, std::cout, std::cerr);
}
