#pragma once

#include <string>

#include "model/data_set.h"

namespace rkt::test {

// The data sets the export and print tests share; each covers other lines
// and list fallbacks.
// A: variant 1, no file name, unknown serial and date, inverted input.
DataSet SensorA();
// B: variant 3, file name holding ";" and quotes, program lock, stored
//    switching frequency the type does not offer, sensitivity valid.
DataSet SensorB();
// C: variant 5 with a stale read copy of variant 4, pulse frequency and
//    input function the type does not offer.
DataSet SensorC();

// `text` with every "{CODE}" replaced by the data set's data code.
std::string WithCode(std::string text, const DataSet& ds);

}  // namespace rkt::test
