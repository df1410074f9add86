// RecitationListChanged: the word-bank page's note to the recitation page
// that it has copied words into the recitation list.
//
// Posted (never sent) to the recitation page, so it is handled on the window
// thread after the operation that posted it. The event carries a text on the
// heap holding the recitation list's table name (GBK); the poster allocates
// it, and from the moment the event is posted the event owns it: the
// recitation page takes it when it handles the event, and an event that is
// never delivered (its receiver went first) releases it with itself.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <memory>
#include <string>

namespace quorvo {

class RecitationListChangedEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(1126);  // WM_USER + 102

  explicit RecitationListChangedEvent(std::unique_ptr<std::string> tableName)
      : QEvent(kType), tableName_(std::move(tableName)) {}

  // The receiver takes the text; null when the event carries none.
  std::unique_ptr<std::string> TakeTableName() { return std::move(tableName_); }

 private:
  std::unique_ptr<std::string> tableName_;
};

// Posts the event with a new copy of tableName to receiver (if any).
inline void PostRecitationListChanged(QObject* receiver, const std::string& tableName) {
  if (!receiver) return;
  QCoreApplication::postEvent(receiver, new RecitationListChangedEvent(std::make_unique<std::string>(tableName)));
}

}  // namespace quorvo
