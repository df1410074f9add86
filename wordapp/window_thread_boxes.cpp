#include "window_thread_boxes.h"

#include <QThread>
#include <future>
#include <memory>

namespace quorvo {

int WindowThreadBoxes::Show(BoxKind kind, const std::string& gbkText) {
  // Only the posted call holds the promise: when the window side goes before
  // the call ran, Qt drops the call, the promise goes with it and the wait
  // below ends with broken_promise instead of hanging.
  auto answer = std::make_shared<std::promise<int>>();
  std::future<int> future = answer->get_future();
  MessageBoxes* direct = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!windowSide_ || !target_) return kBoxCancel;
    if (QThread::currentThread() == windowSide_->thread()) {
      direct = target_;
    } else {
      MessageBoxes* target = target_;
      QMetaObject::invokeMethod(
          windowSide_, [answer, target, kind, gbkText] { answer->set_value(target->Show(kind, gbkText)); },
          Qt::QueuedConnection);
    }
  }
  // Shown outside the lock: the box runs an event loop in which the window
  // side may be closed and call Detach().
  if (direct) return direct->Show(kind, gbkText);
  answer.reset();
  try {
    return future.get();
  } catch (const std::future_error&) {
    return kBoxCancel;
  }
}

void WindowThreadBoxes::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  windowSide_ = nullptr;
}

}  // namespace quorvo
