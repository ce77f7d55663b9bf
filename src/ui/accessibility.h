#pragma once

class QString;

// What a screen reader is told about the controls, where Qt's own rules tell
// it something other than what the window shows.
namespace rkt {

// Installs the program's accessible interfaces, once (the main window does it
// when it is built):
// - A combo box is named by its label (an accessible name, a label whose
//   buddy it is, or the title of its group box), and only without one by its
//   value. Qt on Linux names every combo box by its current text, so the
//   panel's lists were announced as "aus" and never as "Tastaturverriegelung".
// - A radio button that is not auto-exclusive, because the program itself
//   keeps one or none of its group chosen (the options of the second time
//   function), still reports the radio-button role. Qt takes a checkable
//   button that is not auto-exclusive for a check box.
void InstallAccessibility();

// A caption as a screen reader should say it: without its access-key
// ampersand ("&&" stays one "&").
QString AccessibleText(const QString& caption);

}  // namespace rkt
