#include "ui/combo_utils.h"

#include <QComboBox>

namespace rkt {

int SelectComboText(QComboBox* combo, const QString& text, int notFoundIndex) {
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i) == text) {
      combo->setCurrentIndex(i);
      return i;
    }
  }
  combo->setCurrentIndex(notFoundIndex);
  return notFoundIndex;
}

int FindItemData(QComboBox* combo, int value, int notFoundIndex, bool select) {
  int found = notFoundIndex;
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemData(i).toInt() == value) {
      found = i;
      break;
    }
  }
  if (select && combo->count() > 0) combo->setCurrentIndex(found);
  return found;
}

}  // namespace rkt
