#include "convert_words.h"

#include <vector>

#include "translation_task.h"
#include "word_bank.h"
#include "word_counter.h"

namespace quorvo {

void ConvertWords(const AddWordsRequest& request, WordDatabase& db, const std::string& currentBank, TaskPool& pool,
                  MessageBoxes& boxes) {
  if (!request.bankName.empty()) {
    // A name that could not be read back, or does not fit a task, is
    // refused (CreateBank shows why) before anything is counted or queued.
    // A bank that exists already only prints its diagnostic line.
    bool acceptable = IsAcceptableBankName(request.bankName);
    CreateBank(db, request.bankName, boxes);
    if (!acceptable) return;
  }

  WordCounter counter;
  if (request.sources & SourceText) {
    std::vector<char> buffer(request.text.size() + 1, '\0');
    request.text.copy(buffer.data(), request.text.size());
    counter.ScanText(buffer.data(), buffer.size());
  }
  if (request.sources & SourceFile) counter.ScanFile(request.filePath);
  if (!(request.sources & (SourceText | SourceFile))) return;

  const std::string& bank = request.bankName.empty() ? currentBank : request.bankName;
  counter.Drain([&](const WordCount& entry) {
    TranslationTask* task = MakeTranslationTask(entry.word, entry.count, &db, bank);
    if (task) pool.Submit(LookupWordTask, task, ReleaseTranslationTask);
  });
  counter.Clear();
}

}  // namespace quorvo
