// A stand-in for quorvo in the end-to-end run (e2e_update.sh): installs the
// stop handler, shows a small window and runs the update check on a thread
// of its own, its message box shown on the window thread, as quorvo does.
// Prints "offered" when the check offered the update and "checked" when the
// check is over.
#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <thread>

#include "renova_boxes.h"
#include "update_check.h"
#include "word_app_process.h"

namespace {

class WindowThreadBoxes : public quorvo::MessageBoxes {
 public:
  int Show(quorvo::BoxKind kind, const std::string& gbkText) override {
    std::printf("offered\n");
    std::fflush(stdout);
    int answer = quorvo::kBoxOk;
    QMetaObject::invokeMethod(
        qApp, [&] { answer = quorvo::RenovaBoxes().Show(kind, gbkText); }, Qt::BlockingQueuedConnection);
    return answer;
  }
};

}  // namespace

int main(int argc, char** argv) {
  quorvo::InstallStopHandler();
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("quorvo (stand-in)"));
  window.setWindowTitle(QStringLiteral("quorvo"));
  window.resize(300, 80);
  window.move(20, 20);
  window.show();

  WindowThreadBoxes boxes;
  std::thread check([&] {
    quorvo::UpdateCheckEnv env;
    env.boxes = &boxes;
    quorvo::CheckForUpdate(env);
    std::printf("checked\n");
    std::fflush(stdout);
  });
  check.detach();
  return app.exec();
}
