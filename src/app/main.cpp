#include <cstdio>
#include <exception>
#include <new>

#include "app/frame.h"
#include "text/messages.h"

// Anything that escapes the window's own handling ends the program with the
// program-error message and a failure status instead of an abort.
int main(int argc, char** argv) {
  try {
    return rkt::Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s\n", rkt::MessageDisplayText(rkt::kErrorOutOfMemory).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n%s\n", rkt::MessageDisplayText(rkt::kErrorInternal).c_str(), e.what());
  } catch (...) {
    std::fprintf(stderr, "%s\n", rkt::MessageDisplayText(rkt::kErrorInternal).c_str());
  }
  return 1;
}
