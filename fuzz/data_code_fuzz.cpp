// Any text offered as a data code: refused without a change, or applied so
// that encoding the result gives the same code back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/data_code.h"
#include "model/data_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  rkt::DataSet ds;
  const bool valid = rkt::IsValidDataCode(text);
  if (rkt::ApplyDataCode(ds, text) != valid) __builtin_trap();
  if (!valid) {
    if (ds.DataValid() != 0) __builtin_trap();
    return 0;
  }
  // Bit 95 (the check byte's top bit) does not travel, so the code that comes
  // back may differ only there: compare after decoding once more.
  const std::string code = rkt::EncodeDataCode(ds);
  rkt::DataSet again;
  if (!rkt::ApplyDataCode(again, code)) __builtin_trap();
  if (again.GetBlock(rkt::BlockId::Parameter, rkt::kWorkingCopy) != ds.GetBlock(rkt::BlockId::Parameter, rkt::kWorkingCopy))
    __builtin_trap();
  if (code != text) __builtin_trap();
  return 0;
}
