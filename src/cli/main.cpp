#include <algorithm>
#include <csignal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

#include "cli/cli.h"
#include "text/messages.h"

namespace {

#if defined(_WIN32)
// The arguments in UTF-8, as everywhere else: the narrow argv of Windows is
// in the code page and loses file names with other characters.
std::vector<std::string> Arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; wide && i < count; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(std::max(n, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
    arg.resize(arg.size() - 1);
    out.push_back(std::move(arg));
  }
  LocalFree(wide);
  return out;
}

std::filesystem::path ProgramFile(const char* /*argv0*/, std::error_code& ec) {
  std::wstring name(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  if (n == 0 || n >= name.size()) {
    ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return {};
  }
  name.resize(n);
  return std::filesystem::path(name);
}
#else
std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

// The running program itself where the system tells it, else argv[0].
std::filesystem::path ProgramFile(const char* argv0, std::error_code& ec) {
  auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::canonical(argv0, ec);
  return exe;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // The output is UTF-8; a console shows it as such.
  SetConsoleOutputCP(CP_UTF8);
#endif
  // A reader of the output that goes away (a closed pipe) makes the next
  // write fail instead of ending the program, perhaps halfway through a
  // sensor write; the failure is reported below.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  try {
    const std::vector<std::string> args = Arguments(argc, argv);
    std::error_code ec;
    const std::filesystem::path exe = ProgramFile(argv[0], ec);
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
