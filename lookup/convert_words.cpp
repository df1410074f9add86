#include "lookup/convert_words.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/code_page.h"
#include "lexicon/contraction.h"
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

std::vector<BundledExample> BundledExamplesFor(const ExampleSentences& examples,
                                               const std::vector<std::string>& words) {
  std::vector<BundledExample> found;
  for (const std::string& word : words) {
    std::string_view example = examples.ExampleOf(word);
    if (example.empty()) continue;
    std::optional<std::string> gbk = Utf8ToGbk(example);
    if (gbk && !gbk->empty()) found.emplace_back(word, KeptSentence{*gbk, kBundledExampleSource, true});
  }
  return found;
}

std::string FamilyBase(const Lexicon* lexicon, std::string_view word) {
  return std::string(lexicon ? lexicon->BaseOf(word) : word);
}

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
  counter.SetKeepContractions(request.families);
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
  std::vector<TextWord>& words = summary.words;
  std::unordered_map<std::string, size_t> familyAt;
  std::vector<WordForm> forms;
  counter.Drain([&](const WordCount& entry) {
    if (!request.families) {
      words.push_back(TextWord{entry.word, entry.count, false});
      return;
    }
    std::string stem = ContractionStem(entry.word);
    if (stem.empty()) return;  // an apostrophe that stands for no word
    std::string base = FamilyBase(options.lexicon, stem);
    auto [at, added] = familyAt.emplace(base, words.size());
    if (added) words.push_back(TextWord{base, 0, false});
    words[at->second].count += entry.count;
    if (entry.word == base) return;
    forms.push_back(WordForm{base, entry.word, entry.count, base});
    // A form of two families is listed under both, counted under one.
    if (options.lexicon)
      for (std::string_view other : options.lexicon->BasesOf(stem))
        if (other != base && other != entry.word)
          forms.push_back(WordForm{std::string(other), entry.word, entry.count, base});
  });
  counter.Clear();
  if (Status kept = StoreWordForms(db, summary.bank, forms); !kept.ok()) {
    summary.failure = kept;
    return summary;
  }
  std::vector<const TextWord*> queued;
  for (TextWord& word : words) {
    word.known = KnownByFamily(known, options.lexicon, word.word);
    ++summary.distinct;
    if (word.known) ++summary.known;
    if (!(onlyUnknown && word.known)) queued.push_back(&word);
  }
  if (options.keepSentences) {
    // Before any lookup is queued, so no store of the run waits for it. A
    // family's row gets the sentences its base's own spelling was met in.
    std::unordered_set<std::string> queuedWords;
    std::vector<std::string> without;  // queued words the text gave no sentence
    for (const TextWord* entry : queued) {
      queuedWords.insert(entry->word);
      if (keeper.SentencesOf(entry->word).empty()) without.push_back(entry->word);
    }
    summary.sentences = StoreSentences(db, summary.bank, keeper, &queuedWords);
    keeper.Clear();
    // Then the bundled examples, where the bank has no sentence of the
    // word either; the file is read at the first run that needs it.
    const ExampleSentences* examples = nullptr;
    if (summary.sentences.ok() && !without.empty() && options.examples) examples = options.examples();
    if (examples) {
      summary.sentences = StoreBundledExamples(db, summary.bank, BundledExamplesFor(*examples, without));
    }
  }
  summary.run = std::make_shared<LookupRun>(static_cast<int>(queued.size()));
  if (options.dictionaryKeeper) summary.run->SetKeeper(options.dictionaryKeeper);
  for (const TextWord* entry : queued) {
    TranslationTask* task = MakeTranslationTask(entry->word, entry->count, &db, summary.bank, summary.run);
    if (task && pool.Submit(LookupWordTask, task, ReleaseTranslationTask)) {
      ++summary.queued;
    } else if (!task) {
      summary.run->TaskDone();  // lost for want of memory: counts as over
    }
  }
  return summary;
}

}  // namespace quorvo
