#include "startup/word_commands.h"

#include <chrono>
#include <memory>
#include <thread>

#include "base/code_page.h"
#include "lookup/lookup_run.h"
#include "lookup/task_pool.h"
#include "lookup/translation_task.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"
#include "wordstore/word_export.h"
#include "wordstore/word_import.h"
#include "wordstore/write_failure.h"

namespace quorvo {
namespace {

int Fail(FILE* err, const std::string& message) {
  std::fprintf(err, "quorvo: %s\n", message.c_str());
  return 1;
}

std::string FileCause(const Status& status) {
  if (status.code() == StatusCode::kDiskFull) return "磁盘空间不足";
  if (status.code() == StatusCode::kReadOnly) return "文件或文件夹不允许写入";
  if (status.code() == StatusCode::kNotFound) return "文件夹不存在";
  return status.message();
}

int ListBankNames(WordDatabase& db, FILE* out) {
  for (const std::string& bank : ListBanks(db)) std::fprintf(out, "%s\t%d\n", Utf8(bank).c_str(), CountWords(db, bank));
  return 0;
}

int Export(const CommandLineAction& action, WordDatabase& db, FILE* out, FILE* err) {
  const std::string bank = Gbk(action.bank);
  if (!BankExists(db, bank)) return Fail(err, "没有名为“" + action.bank + "”的词库（quorvo --list-banks 列出词库）");
  ExportFilter filter;
  filter.known = action.known;
  filter.minHot = action.minHot;
  auto rows = ReadExportRows(db, bank, filter);
  if (!rows.ok()) return Fail(err, "无法读取词库“" + action.bank + "”：" + CauseText(rows.status()));
  Status written = WriteExport(action.file, *rows, ExportFormatForName(action.file), bank);
  if (!written.ok())
    return Fail(err, "无法写入文件：" + action.file + "（" + FileCause(written) + "），原有文件保持不变。");
  std::fprintf(out, "已导出 %zu 个单词到 %s\n", rows->size(), action.file.c_str());
  return 0;
}

// Looks the words up as the add-words run does and waits for the run.
std::shared_ptr<LookupRun> LookUp(WordDatabase& db, const std::string& bank,
                                  const std::vector<std::pair<std::string, int>>& words,
                                  const std::function<bool()>& keepDictionary, FILE* err) {
  bool answers = !keepDictionary || keepDictionary();
  if (!answers) std::fprintf(err, "quorvo: 词典服务没有响应，查不到的单词会记为未找到\n");
  auto run = std::make_shared<LookupRun>(static_cast<int>(words.size()));
  if (answers && keepDictionary) run->SetKeeper(keepDictionary);
  TaskPool pool;
  for (const auto& [word, hot] : words) {
    TranslationTask* task = MakeTranslationTask(word, hot, &db, bank, run);
    if (task)
      pool.Submit(LookupWordTask, task, ReleaseTranslationTask);
    else
      run->TaskDone();
  }
  int shown = -1;
  while (!run->Finished()) {
    if (run->Done() != shown) {
      shown = run->Done();
      std::fprintf(err, "\r正在查询 %d/%d", shown, run->Total());
      std::fflush(err);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::fprintf(err, "\r正在查询 %d/%d\n", run->Total(), run->Total());
  pool.Shutdown();
  db.CommitWriteGroup().IgnoreError();
  return run;
}

int Import(const CommandLineAction& action, WordDatabase& db, const std::function<bool()>& keepDictionary, FILE* out,
           FILE* err) {
  auto file = ReadImportFile(action.file);
  if (!file.ok()) return Fail(err, action.file + "：" + file.status().message() + "。没有导入任何单词。");
  const std::string bank = Gbk(action.bank);
  auto counts = WriteImport(db, bank, *file);
  if (!counts.ok()) {
    if (counts.status().code() == StatusCode::kRefused) return Fail(err, counts.status().message());
    return Fail(err, NotSavedText(counts.status()) + "（" + counts.status().message() + "）");
  }
  std::fprintf(out, "导入到词库“%s”%s：新增 %d 个，更新 %d 个", action.bank.c_str(),
               counts->createdBank ? "（新词库）" : "", counts->added, counts->updated);
  if (file->duplicates) std::fprintf(out, "；重复 %d 行（以最后一行为准）", file->duplicates);
  if (file->cut) std::fprintf(out, "；%d 行超长，已截断", file->cut);
  if (file->skipped) std::fprintf(out, "；%d 行没有单词，已跳过", file->skipped);
  std::fprintf(out, "\n");
  if (counts->untranslated.empty()) return 0;
  auto run = LookUp(db, bank, counts->untranslated, keepDictionary, err);
  std::fprintf(out, "查询释义 %d 个：找到 %d 个，未找到 %d 个\n", run->Total(), run->Translated(), run->NotFound());
  if (run->UnstoredCount() > 0)
    return Fail(err, std::to_string(run->UnstoredCount()) + " 个单词的释义没有保存：" + CauseText(run->Failure()) +
                         "（导入的单词已保存）");
  return 0;
}

}  // namespace

int RunWordCommand(const CommandLineAction& action, const std::string& bankFile,
                   const std::function<bool()>& keepDictionary, FILE* out, FILE* err) {
  WordDatabase db;
  bool writes = action.kind == CommandLineAction::Import;
  if (!(writes ? db.Open(bankFile) : db.OpenReadOnly(bankFile))) return Fail(err, "无法打开词库文件 " + bankFile);
  switch (action.kind) {
    case CommandLineAction::ListBanks:
      return ListBankNames(db, out);
    case CommandLineAction::Export:
      return Export(action, db, out, err);
    case CommandLineAction::Import:
      return Import(action, db, keepDictionary, out, err);
    default:
      return Fail(err, "not a word command");
  }
}

}  // namespace quorvo
