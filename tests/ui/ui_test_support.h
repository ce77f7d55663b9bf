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

// Records message boxes instead of showing them; answers with `answer`.
class MessageRecorder : public MessagePresenter {
 public:
  explicit MessageRecorder(int answer = msg::kOk) : m_answer(answer) { SetMessagePresenter(this); }
  ~MessageRecorder() override { SetMessagePresenter(nullptr); }
  int Present(const MessageBoxRequest& request) override {
    texts.push_back(request.text);
    helps.push_back(request.helpContext.value_or(-1));
    return m_answer;
  }
  // The texts message numbers show, for comparing with `texts`.
  static std::vector<std::string> Numbered(std::initializer_list<int> numbers) {
    std::vector<std::string> out;
    for (const int n : numbers) out.push_back(MessageDisplayText(n));
    return out;
  }
  std::vector<std::string> texts;
  std::vector<int> helps;

 private:
  int m_answer;
};

}  // namespace rkt::test
