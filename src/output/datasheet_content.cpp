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

std::string UnknownText() { return PrintText("Unknown"); }

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

  // The same rule as the panel, for the working copy (after a data code the
  // read copy describes a different sensor): what the window shows is what
  // the sheet says.
  const ListCounts counts{static_cast<int>(BuiltinList(TextList::Input).size()),
                          static_cast<int>(BuiltinList(TextList::Pulse).size()),
                          static_cast<int>(BuiltinList(TextList::SwitchingFrequency).size())};
  const PanelLayout layout = LayoutFor(ds, kWorkingCopy, counts);
  const ShownSelection shown = ShownSelectionOf(ds, kWorkingCopy, counts);

  add(Caption("lblSwitchfrequency"), Item(TextList::SwitchingFrequency, shown.switchingFrequency));
  if (layout.pulse) add(Caption("lblPulse"), Item(TextList::Pulse, shown.pulse));
  if (layout.hysteresis) add(Caption("lblHysteresis"), Item(TextList::Hysteresis, shown.hysteresis));
  add(Caption("lblKeyboardLock"), Item(TextList::KeyboardLock, shown.keyboardLock));
  if (get(ValueId::ProgramLock) == 1) add(Caption("lblProgramLock"), Item(TextList::ProgramLock, 1));

  const std::string output = Caption("frameOutput");
  switch (layout.output) {
    case OutputControl::SingleOutput: add(output, Item(TextList::SingleOutput, shown.darkSwitching)); break;
    case OutputControl::InputOutput: add(output, Item(TextList::InputOutput, shown.inputOutput)); break;
    case OutputControl::AlarmOutput: add(output, Text("frmMain", "chkAlarmOutput")); break;
    case OutputControl::Warning: add(output, Item(TextList::Output, shown.warningFunction)); break;
  }
  add(Caption("lblFunction"), Item(TextList::OutputType, shown.outputType));

  if (layout.input) {
    add(Caption("frameInput"), Item(TextList::Input, shown.inputFunction));
    if (shown.inputFunction != 0 && get(ValueId::InputInverted) != 0) add({}, Text("frmMain", "chkInputInv"));
  }

  add(Caption("chkTimefunction1"),
      get(ValueId::TimeFunction1) != 0 ? FormatTenths(get(ValueId::TimeValue1)) : "0.0 s");
  const int tf2 = shown.timeFunction2;
  add(Caption("chkTimefunction2"),
      tf2 >= 1 ? Item(TextList::TimeFunction2, tf2 - 1) + " " + FormatTimeValue2(get(ValueId::TimeValue2), tf2)
               : "0.0 s");
  if (ds.SensitivityValid() != 0)
    add(Caption("frameSensitivity"), FormatSensitivity(get(ValueId::Sensitivity)));
  return lines;
}

}  // namespace rkt
