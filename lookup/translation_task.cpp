#include "lookup/translation_task.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "lookup/dictionary_host.h"
#include "lookup/page_fetch.h"
#include "lookup/translation_store.h"

namespace quorvo {
namespace {

constexpr size_t kWordBytes = sizeof(TranslationTask::word);
constexpr size_t kBankBytes = sizeof(TranslationTask::bank);
// The lookup's work buffer: the word's copy, then the page.
constexpr size_t kWorkBufferBytes = kWordBytes + kPageBufferBytes;

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

void StoreLookupWaiting(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                        std::string_view page, bool fetchFailed, LookupRun* run, bool unreachable) {
  StoreSettled settled;
  if (run) {
    settled = [run, word = std::string(word), hot, unreachable](const StoreResult& result, const Status& outcome) {
      run->Settle(result, word, hot, outcome, unreachable);
    };
  }
  auto waitedSince = std::chrono::steady_clock::now();
  bool waiting = false;
  for (;;) {
    if (run) run->StoreBegun();
    StoreResult result;
    Status status = StoreLookup(connection, word, bank, hot, page, fetchFailed, &result, settled);
    if (status.ok()) break;
    if (run) run->StoreWithdrawn();  // nothing of it went to a group
    bool held = status.code() == StatusCode::kBusy && std::chrono::steady_clock::now() - waitedSince < kHeldFileWait &&
                !(run && run->Cancelled());
    if (!held) {
      if (run) run->NotStored(std::string(word), hot, status);
      break;
    }
    // Another program holds the file: wait for it, visibly, and try again.
    if (run && !waiting) run->SetWaitingForFile(true);
    waiting = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (run && waiting) run->SetWaitingForFile(false);
}

TranslationTask* MakeTranslationTask(std::string_view word, int hot, WordDatabase* connection, std::string_view bank,
                                     std::shared_ptr<LookupRun> run) {
  if (bank.size() >= kBankBytes) return nullptr;
  auto* task = new (std::nothrow) TranslationTask{};
  if (!task) return nullptr;
  word = word.substr(0, kWordBytes - 1);
  std::memcpy(task->word, word.data(), word.size());
  std::memcpy(task->bank, bank.data(), bank.size());
  task->hot = hot;
  task->connection = connection;
  task->run = std::move(run);
  // Its store is announced to the connection's write group.
  if (connection) connection->ExpectGroupWrite();
  return task;
}

void ReleaseTranslationTask(void* argument) {
  auto* task = static_cast<TranslationTask*>(argument);
  if (task && task->connection) task->connection->GroupWriteDone();
  // Counted done after its store went to the write group.
  if (task && task->run) task->run->TaskDone();
  delete task;
}

std::string LookupUrl(std::string_view host, std::string_view word) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  url.reserve(kMaxUrlChars + 1);
  url.append(host).append(kLookupTarget);
  for (char ch : word) {
    auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      url.push_back(ch);
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 15]);
    }
  }
  if (url.size() > kMaxUrlChars) return {};
  return url;
}

void LookupWordTask(void* argument) {
  // Released (and its store reported done) however the lookup ends.
  struct Release {
    void operator()(TranslationTask* task) const { ReleaseTranslationTask(task); }
  };
  std::unique_ptr<TranslationTask, Release> task(static_cast<TranslationTask*>(argument));
  if (!task) return;
  try {
    std::string_view word(task->word, strnlen(task->word, kWordBytes - 1));
    if (word.empty()) return;
    LookupRun* run = task->run.get();
    if (run && run->Cancelled()) {
      // A run stopped by a failed store lists what it never stored; one
      // ended by the window's close has nobody to tell.
      if (!run->Failure().ok()) run->NotStored(std::string(word), task->hot, run->Failure());
      return;
    }
    std::unique_ptr<char[]> work(new (std::nothrow) char[kWorkBufferBytes]());
    if (!work) return;
    std::memcpy(work.get(), word.data(), word.size());
    char* page = work.get() + kWordBytes;

    // A URL that does not fit is not fetched: the word keeps an empty page
    // and so gets the not-found text, like any word whose page is missing.
    std::string host = DictionaryHost();
    FetchFailure failure = FetchFailure::None;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (host.empty()) {
        // The own service has no port (it died or is being started again):
        // nothing to ask, as good as a refused connection.
        failure = FetchFailure::Refused;
      } else {
        std::string url = LookupUrl(host, word);
        if (url.empty()) break;
        FetchDictionaryPage(url, page, {}, &failure);
      }
      if (failure != FetchFailure::Refused || attempt > 0 || !run || !run->ReviveAfterRefusal()) break;
      host = DictionaryHost();  // a revived own service listens on a new port
    }

    std::string_view bank(task->bank, strnlen(task->bank, kBankBytes - 1));
    std::string_view stored(work.get(), word.size());
    std::string_view pageText(page, strnlen(page, kPageBufferBytes - 1));
    bool fetchFailed = failure != FetchFailure::None;
    // No connection at all: the word was not looked up, which the summary
    // tells apart from a word the dictionary does not know.
    bool unreachable = failure == FetchFailure::Refused || failure == FetchFailure::Unreachable;
    if (unreachable && run) run->NoteUnreachable(host);
    StoreLookupWaiting(task->connection, stored, bank, task->hot, pageText, fetchFailed, run, unreachable);
  } catch (...) {
    // Out of memory while building a statement: this lookup ends silently.
  }
}

}  // namespace quorvo
