// WindowThreadBoxes: message boxes for a background thread (the update
// check). Widgets live on the window thread, so Show() posts the box to the
// window side's thread, waits there for the user's answer and returns it.
//
// The window side (a QObject on the window thread) may go before the
// background thread ends: it calls Detach() first, after which Show()
// answers kBoxCancel at once; a box that was posted but had not run when the
// window side went is answered kBoxCancel too. Hold the object in a
// shared_ptr shared by both sides.
#pragma once

#include <QObject>
#include <mutex>

#include "message_boxes.h"

namespace quorvo {

class WindowThreadBoxes : public MessageBoxes {
 public:
  // target shows the boxes on the window thread; it must outlive windowSide.
  WindowThreadBoxes(QObject* windowSide, MessageBoxes* target) : windowSide_(windowSide), target_(target) {}

  // Any thread. Called on the window thread itself it shows the box directly.
  int Show(BoxKind kind, const std::string& gbkText) override;
  // Window thread, before the window side is destroyed.
  void Detach();

 private:
  std::mutex mutex_;
  QObject* windowSide_;  // guarded by mutex_; null once detached
  MessageBoxes* target_;
};

}  // namespace quorvo
