#include "lookup/convert_words.h"

#include <unordered_set>
#include <vector>

#include "base/code_page.h"
#include "lookup/translation_task.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_counter.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

// The name the typed text's sentences carry.
const char kTypedTextName[] = "输入的文本";

}  // namespace

ConvertSummary ConvertWords(const AddWordsRequest& request, WordDatabase& db, const std::string& currentBank,
                            TaskPool& pool, MessageBoxes& boxes, const ConvertOptions& options) {
  ConvertSummary summary;
  if (!request.bankName.empty()) {
    // A name that could not be read back, or does not fit a task, is
    // refused (CreateBank shows why) before anything is counted or queued.
    // A bank that exists already only prints its diagnostic line; a file
    // that cannot be written (full, read-only, held) ends the run here.
    Status created = CreateBank(db, request.bankName, boxes);
    if (created.code() == StatusCode::kRefused) return summary;
    if (!created.ok() && created.code() != StatusCode::kRejected) {
      summary.failure = created;
      return summary;
    }
  }

  WordCounter counter;
  SentenceKeeper keeper;
  if (options.keepSentences) counter.SetSentenceKeeper(&keeper);
  if (request.sources & SourceText) {
    keeper.BeginText(Gbk(kTypedTextName));
    std::vector<char> buffer(request.text.size() + 1, '\0');
    request.text.copy(buffer.data(), request.text.size());
    counter.ScanText(buffer.data(), buffer.size());
    keeper.EndText();
  }
  if (request.sources & SourceFile) {
    keeper.BeginText(request.filePath.substr(request.filePath.find_last_of('/') + 1));
    counter.ScanFile(request.filePath);
    keeper.EndText();
  }
  counter.SetSentenceKeeper(nullptr);
  if (!(request.sources & (SourceText | SourceFile))) return summary;

  summary.counted = true;
  summary.bank = request.bankName.empty() ? currentBank : request.bankName;
  bool onlyUnknown = options.onlyUnknown || request.onlyUnknown;
  std::unordered_set<std::string> known = KnownWords(db);
  // The run is told its size before its first lookup can finish.
  std::vector<WordCount> words;
  counter.Drain([&](const WordCount& entry) {
    ++summary.distinct;
    bool isKnown = known.count(entry.word) > 0;
    if (isKnown) ++summary.known;
    if (!(onlyUnknown && isKnown)) words.push_back(entry);
  });
  counter.Clear();
  if (options.keepSentences) {
    // Before any lookup is queued, so no store of the run waits for it.
    std::unordered_set<std::string> queuedWords;
    for (const WordCount& entry : words) queuedWords.insert(entry.word);
    summary.sentences = StoreSentences(db, summary.bank, keeper, &queuedWords);
    keeper.Clear();
  }
  summary.run = std::make_shared<LookupRun>(static_cast<int>(words.size()));
  if (options.dictionaryKeeper) summary.run->SetKeeper(options.dictionaryKeeper);
  for (const WordCount& entry : words) {
    TranslationTask* task = MakeTranslationTask(entry.word, entry.count, &db, summary.bank, summary.run);
    if (task && pool.Submit(LookupWordTask, task, ReleaseTranslationTask)) {
      ++summary.queued;
    } else if (!task) {
      summary.run->TaskDone();  // lost for want of memory: counts as over
    }
  }
  return summary;
}

}  // namespace quorvo
