#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>
#include <random>
#include <vector>

#include "model/data_set.h"
#include "support/recording_presenter.h"
#include "text/messages.h"

namespace rkt::test {

inline std::vector<int> ItemData(const QComboBox* combo) {
  std::vector<int> out;
  for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemData(i).toInt());
  return out;
}

inline void SetIdent(DataSet& ds, int version1, int variant, int type, Copy copy = kWorkingCopy) {
  ds.Byte(BlockId::Identification, copy, ident::kVersion1) = static_cast<std::uint8_t>(version1);
  ds.Byte(BlockId::Identification, copy, ident::kVersion3) = static_cast<std::uint8_t>(variant);
  ds.Byte(BlockId::Identification, copy, ident::kTypeCode) = static_cast<std::uint8_t>(type);
}

// Runs `action` on the next modal dialog that opens (queued before the call
// that opens it). The dialog is handed over as the active modal widget.
inline void OnNextDialog(std::function<void(QDialog*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
    }
  });
  timer->start();
}

// Records message boxes instead of showing them.
using MessageRecorder = InstalledPresenter;

}  // namespace rkt::test
