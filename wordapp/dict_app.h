// CdictApp: quorvo's application object. Run() shows the main window and
// returns when it has been closed; the program then ends.
//
// Asked to end (SIGTERM, as renova does before it replaces the files), the
// window thread commits the lookups' open write group, the main window goes
// (its pages shut their lookups down and close the word database) and Run()
// returns 4; the stop handler ends the process with 4 anyway if that takes
// longer than 0.8 s.
#pragma once

#include <QApplication>
#include <QLocale>
#include <chrono>
#include <functional>

#include "wordapp/window_ops.h"

namespace quorvo {

class CdictDlg;

// Installs Qt's own translations (qtbase: standard buttons, file and message
// dialogs) for locale into app, from Qt's translations folder
// (QLibraryInfo::TranslationsPath); true when a catalogue was found. An
// English locale, or one Qt has no texts for, installs nothing.
bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale);

class CdictApp : public QApplication {
  Q_OBJECT
 public:
  // The status quorvo ends with when asked to end (SIGTERM, from renova).
  static constexpr int kStoppedStatus = 4;
  // How long the end may wait for a held file before what the pages kept
  // goes to the pending journal: closing the window, and a SIGTERM (renova
  // waits 3 s for quorvo to end; the process ends regardless after
  // kStopGrace).
  static constexpr std::chrono::milliseconds kCloseFlushBound{3000};
  static constexpr std::chrono::milliseconds kStopFlushBound{2300};
  static constexpr std::chrono::milliseconds kStopGrace{2800};

  // Loads Qt's translations for the user's locale (LoadQtTranslations).
  CdictApp(int& argc, char** argv);
  // Runs the main window until it is closed; the exit code. afterShown (may
  // be empty) runs once the window has been painted for the first time.
  int Run(WindowOps& ops, std::function<void()> afterShown = {});

  // The main window while Run() runs, else null.
  CdictDlg* Window() const { return window_; }

  // Installs the process's SIGTERM handling (once, first thing in main): the
  // running application is asked to Stop(); with none running yet, nothing
  // has to be saved and the process ends at once with status 4.
  static void InstallStopHandler();
  // Ends the program as asked: commits the stores, leaves Run() with 4
  // (which then flushes what the pages kept). Window thread.
  void Stop();

 private:
  CdictDlg* window_ = nullptr;
};

}  // namespace quorvo
