// Any byte string fed to the parameter-file reader: it must accept or refuse
// it whole, never crash, and a file it accepts must save and load back equal.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/data_set.h"
#include "model/parameter_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rkt::DataSet ds;
  ds.Param(rkt::kWorkingCopy, 1) = 0x5A;
  const rkt::DataSet before = ds;
  const auto status = rkt::LoadParameterBytes(ds, std::span(data, size), "fuzz.RKT");
  if (status != rkt::LoadStatus::Ok) {
    if (ds.GetBlock(rkt::BlockId::Parameter, rkt::kWorkingCopy) != before.GetBlock(rkt::BlockId::Parameter, rkt::kWorkingCopy))
      __builtin_trap();
    return 0;
  }
  const auto bytes = rkt::EncodeParameterFile(ds);
  rkt::DataSet again;
  if (rkt::LoadParameterBytes(again, bytes, "again.RKT") != rkt::LoadStatus::Ok) __builtin_trap();
  for (const rkt::BlockId b : rkt::kAllBlocks)
    if (again.GetBlock(b, rkt::kWorkingCopy) != ds.GetBlock(b, rkt::kWorkingCopy)) __builtin_trap();
  if (again.Comment() != ds.Comment()) __builtin_trap();
  return 0;
}
