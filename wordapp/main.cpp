// quorvo: the word application. Keeps its word banks in dict_main.db of the
// working folder (scripts/run.sh starts it next to the installed file).
#include "dict_app.h"
#include "dictd_launcher.h"
#include "dictionary_host.h"
#include "qt_window_ops.h"
#include "word_app_process.h"

int main(int argc, char** argv) {
  // renova ends a running quorvo with SIGTERM before it replaces its files.
  quorvo::InstallStopHandler();
  // With the build's own dictionary host and nothing answering there, the
  // bundled service is started beside quorvo and ended with it.
  quorvo::BundledDictionary dictionary;
  dictionary.Start(quorvo::DictionaryHost(), quorvo::BuildDictionaryHost(), quorvo::ProgramFolder());
  quorvo::CdictApp app(argc, argv);
  quorvo::QtWindowOps ops;
  return app.Run(ops.ops());
}
