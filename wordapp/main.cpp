// quorvo: the word application. Keeps its word banks in dict_main.db of the
// working folder (scripts/run.sh starts it next to the installed file).
#include "dict_app.h"
#include "dictd_launcher.h"
#include "dictionary_host.h"
#include "qt_window_ops.h"
#include "shown_report.h"

int main(int argc, char** argv) {
  // renova ends a running quorvo with SIGTERM before it replaces its files:
  // quorvo saves its stores and ends with status 4.
  quorvo::CdictApp::InstallStopHandler();
  int shownFd = quorvo::TakeShownReportFd();
  // With the build's own dictionary host and nothing answering there, the
  // bundled service is started beside quorvo and ended with it.
  quorvo::BundledDictionary dictionary;
  quorvo::CdictApp app(argc, argv);
  quorvo::QtWindowOps ops;
  return app.Run(ops.ops(), [&] {
    quorvo::ReportShown(shownFd);
    // The window comes first: the service loads its data (a fifth of a
    // second of work) while the user looks at the window, not before, and a
    // watcher thread waits for it to answer.
    dictionary.StartWithoutWaiting(quorvo::DictionaryHost(), quorvo::BuildDictionaryHost(), quorvo::ProgramFolder());
  });
}
