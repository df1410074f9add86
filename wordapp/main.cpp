// quorvo: the word application. Where it keeps its word banks is chosen at
// start (app_layout.h): beside the executable in a portable folder, in the
// user's data folder when installed; never in the working folder.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "dictserver/dictd_launcher.h"
#include "lexicon/example_sentences.h"
#include "lexicon/lexicon.h"
#include "lookup/dictionary_host.h"
#include "startup/app_layout.h"
#include "startup/command_line.h"
#include "startup/word_commands.h"
#include "wordapp/dict_app.h"
#include "wordapp/pending_replay.h"
#include "wordapp/qt_window_ops.h"
#include "wordapp/shown_report.h"

int main(int argc, char** argv) {
  // Read before the application object: --help and --version need no display.
  quorvo::CommandLineAction action = quorvo::ReadCommandLine({argv + 1, argv + argc}, QUORVO_VERSION);
  if (action.kind == quorvo::CommandLineAction::Print || action.kind == quorvo::CommandLineAction::Fail) {
    std::fputs(action.text.c_str(), action.kind == quorvo::CommandLineAction::Print ? stdout : stderr);
    return action.exitCode;
  }
  if (action.kind != quorvo::CommandLineAction::Run) {
    // A word command: the same bank file the window would open, no display.
    const quorvo::AppLayout layout = quorvo::ResolveLayout(quorvo::CurrentLayoutInputs());
    const std::string problem = quorvo::PrepareBankFile(layout);
    if (!problem.empty()) {
      std::fprintf(stderr, "quorvo: %s\n", problem.c_str());
      return 1;
    }
    quorvo::BundledDictionary dictionary;
    dictionary.SetDataFile(layout.dictData);
    const std::string configuredHost = quorvo::ConfiguredDictionaryHost();
    auto keepDictionary = [&dictionary, &layout, &configuredHost] {
      auto state = dictionary.Revive(configuredHost, layout.dictdFolder);
      return state != quorvo::BundledDictionaryState::Failed;
    };
    return quorvo::RunWordCommand(action, layout.bankFile, keepDictionary, stdout, stderr);
  }
  // renova ends a running quorvo with SIGTERM before it replaces its files:
  // quorvo saves its stores and ends with status 4.
  quorvo::CdictApp::InstallStopHandler();
  int shownFd = quorvo::TakeShownReportFd();
  const quorvo::AppLayout layout = quorvo::ResolveLayout(quorvo::CurrentLayoutInputs());
  const std::string problem = quorvo::PrepareBankFile(layout);
  quorvo::SetBankFile(layout.bankFile);
  // The engine's diagnostic lines go to stdout.
  quorvo::SetDiagnosticSink(quorvo::PrintDiagnostic);
  // Without a configured dictionary host, quorvo's own service is started
  // on a port the kernel picks and ended with quorvo.
  quorvo::BundledDictionary dictionary;
  dictionary.SetDataFile(layout.dictData);
  quorvo::CdictApp app(argc, argv);
  quorvo::QtWindowOps ops;
  if (!problem.empty()) {
    std::fprintf(stderr, "quorvo: %s\n", problem.c_str());
    ops.ops().boxes->Show(quorvo::BoxKind::Application, quorvo::Gbk(problem));
    return 1;
  }
  // A file the learner may not write, an empty one, another program's, one
  // cut short: named once, and opened read-only where it must not be
  // written. What the last run could not write goes in first.
  const quorvo::BankFileState state = quorvo::CheckBankFile(layout.bankFile);
  ops.ops().readOnlyBanner = QString::fromStdString(state.readOnlyBanner);
  std::string replayed;
  if (state.readOnlyBanner.empty()) replayed = quorvo::ReplayMessage(quorvo::ReplayPendingWrites(layout.bankFile));
  for (const std::string& notice : {state.notice, replayed}) {
    if (notice.empty()) continue;
    std::fprintf(stderr, "quorvo: %s\n", notice.c_str());
    ops.ops().boxes->Show(quorvo::BoxKind::Application, quorvo::Gbk(notice));
  }
  // Word families and exam lists; without the file every word stands alone.
  quorvo::Lexicon lexicon;
  quorvo::LexiconLoadReport lexiconReport;
  if (lexicon.Load(layout.lexiconData, &lexiconReport)) ops.ops().lexicon = &lexicon;
  // The example sentences are read at the first run that keeps sentences,
  // not at start.
  quorvo::LazyExampleSentences examples(layout.examplesData);
  ops.ops().examples = [&examples] { return examples.Get(); };
  ops.ops().dictData = layout.dictData;
  // The learner's settings sit beside the banks.
  if (!layout.bankFile.empty())
    ops.ops().configFile = std::filesystem::path(layout.bankFile).parent_path() / "config.ini";
  // An installed quorvo is updated by the package manager, not by renova.
  if (!layout.updateCheck) ops.ops().updateCheck = nullptr;
  // Before each run of lookups, and after a refused connection during one,
  // a bundled service that died is reaped and started again.
  const std::string configuredHost = quorvo::ConfiguredDictionaryHost();
  ops.ops().keepDictionary = [&dictionary, &layout, &configuredHost] {
    auto state = dictionary.Revive(configuredHost, layout.dictdFolder);
    return state != quorvo::BundledDictionaryState::Failed;
  };
  return app.Run(ops.ops(), [&] {
    quorvo::ReportShown(shownFd);
    // The window comes first: the service loads its data (a fifth of a
    // second of work) while the user looks at the window, not before, and a
    // watcher thread waits for it to answer.
    dictionary.StartWithoutWaiting(configuredHost, layout.dictdFolder);
  });
}
