#pragma once

class QComboBox;
class QString;

namespace rkt {

// Selects the first entry equal to text (exact) and returns its index; when
// none is equal, selects notFoundIndex and returns it.
int SelectComboText(QComboBox* combo, const QString& text, int notFoundIndex = -1);

// The index of the first entry whose item data equals value, else
// notFoundIndex; with select, that index becomes the selection when the list
// is not empty.
int FindItemData(QComboBox* combo, int value, int notFoundIndex = -1, bool select = true);

}  // namespace rkt
