#include "wordapp/shown_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <utility>

namespace quorvo {
namespace {

class FirstPaint : public QObject {
 public:
  FirstPaint(QWidget* window, std::function<void()> then) : QObject(window), then_(std::move(then)) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, this, [this] {
        if (then_) then_();
        deleteLater();
      });
    }
    return false;
  }

 private:
  std::function<void()> then_;
};

}  // namespace

void AfterFirstPaint(QWidget* window, std::function<void()> then) { new FirstPaint(window, std::move(then)); }

int TakeShownReportFd() {
  const char* text = std::getenv(kShownReportVariable);
  if (!text) return -1;
  char* end = nullptr;
  long fd = std::strtol(text, &end, 10);
  bool number = *text && *end == '\0' && fd >= 0 && fd <= 1 << 20;
  unsetenv(kShownReportVariable);
  if (!number || fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC) != 0) return -1;
  return static_cast<int>(fd);
}

void ReportShown(int fd) {
  if (fd < 0) return;
  static constexpr char kShown[] = "shown\n";
  ssize_t ignored = write(fd, kShown, sizeof kShown - 1);
  (void)ignored;
  close(fd);
}

}  // namespace quorvo
