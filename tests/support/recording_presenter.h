#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "text/messages.h"

namespace rkt::test {

// Records every message box instead of showing it; answers from the queue, else `answer`, else the safe one.
class RecordingPresenter : public MessagePresenter {
 public:
  int Present(const MessageBoxRequest& r) override {
    shown.push_back(r);
    if (queue.empty()) return answer ? *answer : SafeAnswer(r.buttons);
    const int a = queue.front();
    queue.pop_front();
    return a;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const MessageBoxRequest& r : shown) out.push_back(r.text);
    return out;
  }
  static std::vector<std::string> Numbered(std::initializer_list<int> numbers) {
    std::vector<std::string> out;
    for (const int n : numbers) out.push_back(MessageDisplayText(n));
    return out;
  }

  std::vector<MessageBoxRequest> shown;
  std::deque<int> queue;
  std::optional<int> answer;
};

// A RecordingPresenter in place of the boxes for as long as it lives.
struct InstalledPresenter : RecordingPresenter {
  InstalledPresenter() { SetMessagePresenter(this); }
  ~InstalledPresenter() override { SetMessagePresenter(nullptr); }
  InstalledPresenter(const InstalledPresenter&) = delete;
};

}  // namespace rkt::test
