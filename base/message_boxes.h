// MessageBoxes: the engine's only way to show the user a message.
//
// The word store never opens a window. Where an operation must tell the user
// something (a refused drop, a syntax error in a search), it calls Show() on
// the MessageBoxes it was given. quorvo implements it with real Qt message
// boxes; tests record the calls and answer them.
//
// Texts are GBK bytes, like everything else the engine handles. Show() is
// called on the thread that runs the operation (the window thread for every
// operation of the word store).
#pragma once

#include <string>

namespace quorvo {

enum class BoxKind {
  Plain,          // no owner, no caption of its own, one OK button
  PlainOkCancel,  // no owner, no caption of its own, OK and Cancel
  Application,    // the application's name as caption, one OK button
};

enum BoxAnswer { kBoxOk = 1, kBoxCancel = 2 };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box and returns when the user closed it: kBoxOk or kBoxCancel.
  virtual int Show(BoxKind kind, const std::string& gbkText) = 0;
};

// A MessageBoxes that shows nothing and answers OK; used where nobody listens.
class SilentBoxes : public MessageBoxes {
 public:
  int Show(BoxKind, const std::string&) override { return kBoxOk; }
};

}  // namespace quorvo
