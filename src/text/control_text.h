#pragma once

#include <QString>
#include <string_view>

class QObject;

// Applying language texts to Qt controls. A control's language key is its
// objectName, followed by its index when the control is an element of an
// array (dynamic property "controlIndex"). The text it had when a language
// was first applied is kept as its default (dynamic property
// "defaultText"), so that switching back to German restores it.
namespace rkt {

// The language key of a control.
QString ControlKey(const QObject* control);

// Sets the control's caption to GetText(section, key, its default text).
// Buttons, labels, group boxes, menus, actions and windows have captions;
// anything else is left unchanged. Returns whether a caption was set.
bool SetControlText(std::string_view section, QObject* control);

}  // namespace rkt
