// RecordingBoxes: a MessageBoxes for tests. Records every box (kind and the
// text turned into UTF-8) and answers with the next queued answer, OK when
// none is queued, so no test ever blocks on a modal window.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/message_boxes.h"

namespace quorvo::testing {

struct ShownBox {
  BoxKind kind;
  std::string text;  // UTF-8
};

class RecordingBoxes : public MessageBoxes {
 public:
  int Show(BoxKind kind, const std::string& gbkText) override {
    shown.push_back({kind, Utf8(gbkText)});
    if (answers.empty()) return kBoxOk;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& box : shown) t.push_back(box.text);
    return t;
  }

  std::vector<ShownBox> shown;
  std::deque<int> answers;
};

}  // namespace quorvo::testing
