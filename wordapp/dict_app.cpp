#include "wordapp/dict_app.h"

#include <unistd.h>

#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <cstdio>
#include <utility>

#include "update/word_app_process.h"
#include "wordapp/dialog_units.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/shown_report.h"

namespace quorvo {

bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&app);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

CdictApp::CdictApp(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt's own dialogs and buttons ("确定", "取消", the file dialog) in the
  // learner's language, as the rest of the window.
  LoadQtTranslations(*this, QLocale::system());
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
  // Closed, or asked to end: what the pages show as kept goes to the file,
  // or to the pending journal beside it, before the windows go.
  window.FlushBeforeExit(std::chrono::steady_clock::now() +
                         (status == kStoppedStatus ? kStopFlushBound : kCloseFlushBound));
  if (status == kStoppedStatus) {
    // Asked to end: what was shown as kept is in the file or the journal.
    // Lookups still waiting for the network store nothing that was shown,
    // so they are not waited for.
    std::fflush(stdout);
    _exit(kStoppedStatus);
  }
  return status;
}

void CdictApp::InstallStopHandler() {
  quorvo::InstallStopHandler(
      [] {
        // On the stop thread: hand the work to the window thread.
        QPointer<CdictApp> app = qobject_cast<CdictApp*>(QCoreApplication::instance());
        if (!app) _exit(kStoppedStatus);
        QMetaObject::invokeMethod(app, &CdictApp::Stop, Qt::QueuedConnection);
      },
      kStopGrace);
}

void CdictApp::Stop() {
  // What the lookups stored so far goes to the file before anything else;
  // after exec() returns, the pages' kept writes are flushed (Run).
  if (window_ && window_->Page1()) window_->Page1()->CommitStores();
  exit(kStoppedStatus);
}

}  // namespace quorvo
