// WindowThreadBoxes: message boxes for a background thread (the update
// check). Widgets live on the window thread, so Show() posts the box to the
// window side's thread, waits there for the user's answer and returns it.
//
// The window side (a QObject on the window thread) may go before the
// background thread ends: it calls Detach() first, after which Show()
// answers kBoxCancel at once; a box that was posted but had not run when the
// window side went is answered kBoxCancel too. Hold the object in a
// shared_ptr shared by both sides.
//
// Given ModelessBoxes, a background request is opened as a modeless box: the
// window thread goes on at once and the windows keep taking input while the
// background thread waits; a box still open when the window side goes is
// closed and answered kBoxCancel.
//
// A request (kind, text, the promise of its answer) waits in a queue guarded
// by the object's mutex; the call posted through Qt's event queue carries
// only this object, and the window thread takes the request from the queue.
#pragma once

#include <QObject>
#include <deque>
#include <future>
#include <mutex>
#include <string>

#include "base/message_boxes.h"
#include "wordapp/window_ops.h"

namespace quorvo {

class WindowThreadBoxes : public MessageBoxes {
 public:
  // target shows the boxes on the window thread; it must outlive windowSide,
  // and so must modeless (may be null), which shows the background ones.
  WindowThreadBoxes(QObject* windowSide, MessageBoxes* target, ModelessBoxes* modeless = nullptr)
      : windowSide_(windowSide), target_(target), modeless_(modeless) {}

  // Any thread. Called on the window thread itself it shows the box directly.
  int Show(BoxKind kind, const std::string& gbkText) override;
  // Window thread, before the window side is destroyed.
  void Detach();

 private:
  struct Request {
    BoxKind kind = BoxKind::Plain;
    std::string text;
    std::promise<int> answer;
  };
  // Window thread: shows the oldest waiting request and answers it.
  void ShowNext();

  std::mutex mutex_;
  QObject* windowSide_;  // guarded by mutex_; null once detached
  MessageBoxes* target_;
  ModelessBoxes* modeless_;
  std::deque<Request> waiting_;  // guarded by mutex_
};

}  // namespace quorvo
