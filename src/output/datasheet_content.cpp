#include "output/datasheet_content.h"

#include <cstdio>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/text_encoding.h"
#include "model/value_conversions.h"
#include "model/panel_rules.h"
#include "text/builtin_texts.h"
#include "text/language.h"
#include "text/text_keys.h"

namespace rkt {

namespace {

std::string PrintText(const char* key) { return Text("Print", key); }

// The current caption of a main-window control, as its label.
std::string Caption(const char* control) { return Text("frmMain", control) + ":"; }

// List item i in the current language; an index outside the list shows the
// first item, as the window does.
std::string Item(TextList list, int i) { return ListItemText(list, BuiltinItem(list, i).empty() ? 0 : i); }

}  // namespace

std::string UnknownText() { return "Unbekannt"; }

std::string DatasheetTitle() { return PrintText("Print"); }

std::vector<OutputLineItem> CommonContent(const DataSet& ds) {
  std::vector<OutputLineItem> lines;
  const auto add = [&](std::string label, std::string value) { lines.push_back({std::move(label), std::move(value)}); };
  const auto get = [&](ValueId id) { return ds.GetInt(id, kWorkingCopy); };

  if (!ds.FileName().empty()) add(Text("frmMain", "lblFileName"), ds.FileName());
  add({}, {});
  add(PrintText("lblTyp"), Cp1252ToUtf8(ds.GetString(ValueId::TypeName, kWorkingCopy)));

  const int serial = get(ValueId::SerialNumber);
  char serialText[16];
  std::snprintf(serialText, sizeof serialText, "%05d", serial);
  add(PrintText("lblSerial"), serial == 0 ? UnknownText() : serialText);

  const int m1 = get(ValueId::ManufacturePart1);
  const int m2 = get(ValueId::ManufacturePart2);
  add(PrintText("lblYear"),
      m1 == 0 && m2 == 0 ? UnknownText() : std::to_string(m1) + "/" + std::to_string(m2));
  add(PrintText("lblVersion"), ds.GetString(ValueId::VersionText, kWorkingCopy));
  add(PrintText("lblDatacode"), EncodeDataCode(ds));
  add({}, {});

  // The variant decides which output and input lines apply. It is taken from
  // the working copy like everything else: after a data code the read copy
  // describes a different sensor.
  const int mask = get(ValueId::FeatureMask);
  const int variant = get(ValueId::VersionPart3);
  const int version1 = get(ValueId::VersionPart1);
  const int inputCount = static_cast<int>(BuiltinList(TextList::Input).size());
  const int pulseCount = static_cast<int>(BuiltinList(TextList::Pulse).size());
  const int frequencyCount = static_cast<int>(BuiltinList(TextList::SwitchingFrequency).size());

  // Values the panel's list does not offer for this type show its first item.
  const int frequency = ShownItem(OfferedSwitchingFrequencies(version1, get(ValueId::TypeCode), frequencyCount),
                                  get(ValueId::SwitchingFrequency));
  add(Caption("lblSwitchfrequency"), Item(TextList::SwitchingFrequency, frequency));
  if ((mask & 64) == 0) {
    const int pulse = ShownItem(OfferedPulseFrequencies(mask, pulseCount), get(ValueId::PulseFrequency));
    add(Caption("lblPulse"), Item(TextList::Pulse, pulse));
  }
  if ((mask & 2) == 0) add(Caption("lblHysteresis"), Item(TextList::Hysteresis, get(ValueId::Hysteresis)));
  add(Caption("lblKeyboardLock"), Item(TextList::KeyboardLock, get(ValueId::KeyboardLock)));
  if (get(ValueId::ProgramLock) == 1) add(Caption("lblProgramLock"), Item(TextList::ProgramLock, 1));

  const std::string output = Caption("frameOutput");
  if (variant == 3) {
    add(output, Item(TextList::SingleOutput, get(ValueId::DarkSwitching)));
  } else if (variant == 5) {
    add(output, Item(TextList::InputOutput, get(ValueId::InputOutputMode)));
  } else if (variant == 6) {
    add(output, Text("frmMain", "chkAlarmOutput"));
  } else {
    add(output, Item(TextList::Output, get(ValueId::WarningFunction)));
  }
  add(Caption("lblFunction"), Item(TextList::OutputType, get(ValueId::OutputType)));

  if (variant != 4) {
    int input = ShownItem(OfferedInputFunctions(version1, variant, mask, inputCount), get(ValueId::InputFunction));
    // While the shared pin works as an output the panel sets the input to
    // "keine" and greys it; show the same.
    if (variant == 5 && get(ValueId::InputOutputMode) <= 2) input = 0;
    add(Caption("frameInput"), Item(TextList::Input, input));
    if (input != 0 && get(ValueId::InputInverted) != 0)
      add({}, Text("frmMain", "chkInputInv"));
  }

  add(Caption("chkTimefunction1"),
      get(ValueId::TimeFunction1) != 0 ? FormatTenths(get(ValueId::TimeValue1)) : "0.0 s");
  const int tf2 = get(ValueId::TimeFunction2);
  add(Caption("chkTimefunction2"),
      tf2 >= 1 ? Item(TextList::TimeFunction2, tf2 - 1) + " " + FormatTimeValue2(get(ValueId::TimeValue2), tf2)
               : "0.0 s");
  if (ds.SensitivityValid() != 0)
    add(Caption("frameSensitivity"), FormatSensitivity(get(ValueId::Sensitivity)));
  return lines;
}

}  // namespace rkt
