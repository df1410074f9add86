#include "wordapp/window_thread_boxes.h"

#include <QThread>

namespace quorvo {

int WindowThreadBoxes::Show(BoxKind kind, const std::string& gbkText) {
  std::future<int> answer;
  MessageBoxes* direct = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!windowSide_ || !target_) return kBoxCancel;
    if (QThread::currentThread() == windowSide_->thread()) {
      direct = target_;
    } else {
      // The request is handed over through mutex_; Qt's posted call only
      // says that one is waiting, and carries nothing but this object.
      waiting_.push_back(Request{kind, gbkText, {}});
      answer = waiting_.back().answer.get_future();
      QMetaObject::invokeMethod(
          windowSide_, [this] { ShowNext(); }, Qt::QueuedConnection);
    }
  }
  // Shown outside the lock: the box runs an event loop in which the window
  // side may be closed and call Detach().
  if (direct) return direct->Show(kind, gbkText);
  try {
    return answer.get();
  } catch (const std::future_error&) {
    return kBoxCancel;  // dropped by Detach() before it was shown
  }
}

void WindowThreadBoxes::ShowNext() {
  Request request;
  MessageBoxes* target = nullptr;
  QObject* context = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.empty() || !windowSide_) return;
    request = std::move(waiting_.front());
    waiting_.pop_front();
    target = target_;
    context = windowSide_;
  }
  if (modeless_) {
    // The promise travels with the box: answered when the user closes it,
    // broken (a cancel) when the box goes with the window side.
    auto answer = std::make_shared<std::promise<int>>(std::move(request.answer));
    modeless_->Open(request.kind, request.text, context, [answer](int value) { answer->set_value(value); });
    return;
  }
  request.answer.set_value(target->Show(request.kind, request.text));
}

void WindowThreadBoxes::Detach() {
  std::deque<Request> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    windowSide_ = nullptr;
    dropped.swap(waiting_);
  }
  // The dropped requests' promises go unanswered: each waiting Show() sees
  // a broken promise and answers kBoxCancel.
}

}  // namespace quorvo
