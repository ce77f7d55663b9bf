#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace rkt::test {

// One command line run in this process, with what it printed.
struct CliResult {
  int code;
  std::string out;
  std::string err;
};

inline CliResult Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = cli::RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace rkt::test
