// The desktop side of WindowOps: real Qt message boxes, the Qt file dialog,
// QSystemTrayIcon, Qt TextToSpeech and CheckForUpdate. Made once by main() after the
// application object, and kept alive until the main window has gone.
#pragma once

#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>

#include "wordapp/qt_speech.h"
#include "wordapp/window_ops.h"

namespace quorvo {

// Plain boxes have no owner and an empty caption (the desktop's default
// title shows); application boxes carry the caption "quorvo". Shown on the
// calling thread, which must be the window thread.
class QtMessageBoxes : public MessageBoxes, public ModelessBoxes {
 public:
  int Show(BoxKind kind, const std::string& gbkText) override;
  void Open(BoxKind kind, const std::string& gbkText, QObject* context, std::function<void(int)> done) override;
};

class QtFilePicker : public FilePicker {
 public:
  QString OpenFile(QWidget* parent, const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& filters, const QString& suggestedName) override;
};

class QtNotificationArea : public NotificationArea {
 public:
  ~QtNotificationArea() override;
  bool Available() const override;
  void AddIcon(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(IconAction)> onAction) override;
  void DeleteIcon() override;
  bool HasIcon() const override { return icon_ != nullptr; }

 private:
  QPointer<QSystemTrayIcon> icon_;
};

class QtWindowOps {
 public:
  QtWindowOps();
  WindowOps& ops() { return ops_; }

 private:
  QtMessageBoxes boxes_;
  QtFilePicker files_;
  QtNotificationArea tray_;
  QtSpeech speech_;
  WindowOps ops_;
};

}  // namespace quorvo
