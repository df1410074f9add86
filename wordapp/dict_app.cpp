#include "wordapp/dict_app.h"

#include <unistd.h>

#include <QPointer>
#include <utility>

#include "update/word_app_process.h"
#include "wordapp/dialog_units.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/shown_report.h"

namespace quorvo {

CdictApp::CdictApp(int& argc, char** argv) : QApplication(argc, argv) {
  // The window's class (StartupWMClass "quorvo") and, on Wayland, its app id:
  // both tie the window to the menu entry.
  setApplicationName(QStringLiteral("quorvo"));
  setDesktopFileName(QStringLiteral(QUORVO_APP_ID));
  // The settings key of the original wizard; nothing is stored under it.
  setOrganizationName(Ui("应用程序向导生成的本地应用程序"));
  // The window hides in the notification area and message boxes may close
  // while it is hidden: only closing the main window ends the program.
  setQuitOnLastWindowClosed(false);
}

int CdictApp::Run(WindowOps& ops, std::function<void()> afterShown) {
  CdictDlg window(ops);
  connect(&window, &QDialog::finished, this, &QCoreApplication::quit, Qt::QueuedConnection);
  if (afterShown) AfterFirstPaint(&window, std::move(afterShown));
  window.show();
  window_ = &window;
  int status = exec();
  window_ = nullptr;
  return status;
}

namespace {
constexpr int kStoppedStatus = 4;
}

void CdictApp::InstallStopHandler() {
  quorvo::InstallStopHandler([] {
    // On the stop thread: hand the work to the window thread.
    QPointer<CdictApp> app = qobject_cast<CdictApp*>(QCoreApplication::instance());
    if (!app) _exit(kStoppedStatus);
    QMetaObject::invokeMethod(app, &CdictApp::Stop, Qt::QueuedConnection);
  });
}

void CdictApp::Stop() {
  // What the lookups stored so far goes to the file before anything else;
  // the window's teardown (after exec() returns) waits for running lookups
  // and closes the database, committing what they still store.
  if (window_ && window_->Page1()) window_->Page1()->CommitStores();
  exit(kStoppedStatus);
}

}  // namespace quorvo
