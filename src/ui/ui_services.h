#pragma once

class QString;

namespace rkt {

// Shows a failure that has no message number of its own (the text says what
// failed), in a box like the numbered messages.
void ShowErrorText(const QString& text);

}  // namespace rkt
