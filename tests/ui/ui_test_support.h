#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <random>
#include <vector>

#include "model/data_set.h"
#include "ui/ui_services.h"

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

// Records messages instead of showing boxes; answers with `answer`.
class MessageRecorder {
 public:
  explicit MessageRecorder(int answer = mb::kAnswerOk) {
    SetMessageHandler([this, answer](int number, int, int help) {
      numbers.push_back(number);
      helps.push_back(help);
      return answer;
    });
  }
  ~MessageRecorder() { SetMessageHandler({}); }
  std::vector<int> numbers;
  std::vector<int> helps;
};

}  // namespace rkt::test
