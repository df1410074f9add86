// CPage1: the word-bank page, first tab ("词库") of the main window.
//
// Shows one bank at a time, filtered by the search box, the known filter and
// the hot range, sorted by hot; lists, opens and drops banks; starts the
// add-words run; applies the batch operations to the rows that are selected
// or ticked. Every control carries its id (page1_controls.h) as its object
// name.
//
// Owns the main WordDatabase on BankFile() (app_layout.h) and the
// TaskPool whose lookups write through that connection; the pool is shut
// down before the connection closes. Starts the update check on a thread of
// its own when it is made and never waits for it. Window thread only.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dictserver/dictionary.h"
#include "lookup/lookup_run.h"
#include "lookup/reading_plan.h"
#include "lookup/task_pool.h"
#include "wordapp/window_ops.h"
#include "wordapp/word_list_model.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace quorvo {

class WindowThreadBoxes;

class CPage1 : public QDialog {
  Q_OBJECT
 public:
  // Index of each batch operation in page1_controls::kBatchOperation.
  enum Batch {
    kBatchNone = 0,
    kBatchLookup,
    kBatchHot,
    kBatchKnown,
    kBatchDelete,
    kBatchRecite,
    kBatchRetry,
    kBatchImportExam,     // "导入考试词表": asks which exam, needs no ticked rows
    kBatchMergeFamilies,  // "合并词形": the ticked rows of one family become one, after showing which
  };
  // The exam chooser of "导入考试词表" carries this object name.
  static constexpr char kExamChooserName[] = "examChooser";
  // How often the info box shows a run's progress.
  static constexpr int kProgressIntervalMs = 200;

  explicit CPage1(WindowOps& ops, QWidget* parent = nullptr);
  ~CPage1() override;

  // The page that receives RecitationListChanged.
  void SetRecitationPage(QObject* page) { recitationPage_ = page; }

  // "搜索" and Enter.
  void Refresh();
  // "查看词典列表".
  void ShowBanks();
  // "默认词库", "查看背诵列表" and opening a bank, after the bank was chosen.
  void ShowWords();
  // "默认词库" / "查看背诵列表".
  void ShowBank(const std::string& bank);
  // Double click on a bank-list row; a row below the last one is ignored.
  void OpenBank(int row);
  // "删除词典".
  void DropBanks();
  // "添加新单词".
  void AddWords();
  // "确定更新".
  void RunBatch();
  // Selection change of the batch operation.
  void OnBatchChoice(int index);
  // "导出": the rows shown, through the save dialog, as CSV, Anki text or
  // an Anki deck.
  void Export();
  // "导入": a word list into a new or existing bank through the import
  // dialog, in one write (waiting, like the batches, while another program
  // holds the file); the words without a translation are then looked up.
  void Import();

  // The run of lookups the info box follows; empty when none runs.
  const std::shared_ptr<LookupRun>& CurrentRun() const { return run_; }
  // Shows the run's progress, or its summary once it is over (the timer's
  // tick; tests call it to see a state without waiting).
  void OnProgressTick();
  // Whether the info box shows progress while a run goes (benchmarks turn
  // it off to compare).
  void SetProgressShown(bool shown) { progressShown_ = shown; }

  // The word list's context menu for a row, owned by the caller: "发音"
  // says the row's word (disabled, with a tooltip, without a speech engine).
  QMenu* MakeWordMenu(int row);
  // Shows or hides "音标" by whether the listed rows carry phonetics.
  void ShowPhoneticColumn();

  // The target rows of a batch: every row that is selected or ticked, from
  // the top. One pass over the list.
  std::vector<int> TargetRows() const;

  const std::string& CurrentBank() const { return currentBank_; }
  bool HasConnection() const { return db_.IsOpen(); }
  // Commits the lookups' open write group now (the program is asked to end).
  void CommitStores() { db_.CommitWriteGroup().IgnoreError(); }
  // The end of quorvo: the runs still going are stopped (their queued
  // lookups end without fetching; those waiting for the network are not
  // waited for, having stored nothing yet), and the write group is
  // committed, tried again while another program holds the file, until
  // deadline. The statements of a group that still cannot be written are
  // returned, the group given up, for the program to keep elsewhere; empty
  // when everything is in the file.
  std::vector<std::string> FlushBeforeExit(std::chrono::steady_clock::time_point deadline);
  // True while a write the page started waits for a file another program
  // holds ("等待词库文件…").
  bool WriteWaiting() const { return pendingWrite_ != nullptr; }
  // "取消等待": gives the waiting write up; nothing of it is written.
  void CancelWrite();
  // How long a write waits for a held file before it is given up, and how
  // often it tries (tests make them short).
  void SetHeldFileWait(std::chrono::milliseconds wait, std::chrono::milliseconds retry) {
    heldWait_ = wait;
    writeRetry_.setInterval(static_cast<int>(retry.count()));
  }
  WordListModel& WordModel() { return wordModel_; }
  BankListModel& BankModel() { return bankModel_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Escape must not close a page.
  void reject() override {}

 private:
  void OnInitDialog();
  void BuildControls();
  void SetUpWordList();
  void SetUpBankList();
  void FillCombos();
  void StartUpdateCheck();
  // Fills every row's exams; with only set, keeps the rows of those exams
  // (and says so).
  bool MarkExams(std::vector<WordRow>& rows, ExamSet only) const;
  // "导入考试词表": asks for the exam, then makes its bank from the bundled
  // dictionary's data (read once, when first needed).
  void ImportExam();
  // kPlanWords: puts the plan's words into the recitation list.
  void AddPlanWords();
  void ShowCountText();
  std::vector<std::string> TargetWords(size_t capacity) const;
  WordFilter FilterFromControls() const;
  // Checks the dictionary before a run; false (told once) when it cannot be
  // brought back.
  bool CheckDictionary();
  // Queues one lookup per word (with the hot value a new row gets) as a run
  // into the current bank.
  void LookUp(const std::vector<LookupRun::UnstoredWord>& words);
  enum class RunKind { AddWords, Batch };
  void FollowRun(std::shared_ptr<LookupRun> run, RunKind kind, const std::string& bank, int distinct, int known,
                 bool dictionaryWarned);
  void FinishRun();
  // Runs attempt now and, while another program holds the file, again from
  // a timer until heldWait_ is over or the learner cancels, with
  // "等待词库文件…" shown and the writing actions disabled; then done gets
  // the outcome. Every try is short, so the window stays usable.
  void StartWrite(std::function<Status()> attempt, std::function<void(const Status&)> done);
  void TryPendingWrite();
  void EndPendingWrite(const Status& outcome);
  // Tells the learner why a write did not go through (nothing for a refusal
  // the operation already told).
  void ShowWriteFailure(const Status& status);
  // The actions that write: enabled unless the file may only be read or a
  // write waits.
  void UpdateWritingActions();
  // The filter controls back to showing every word of a bank.
  void ClearFilter();

  WindowOps& ops_;
  MessageBoxes& boxes_;
  WordDatabase db_;
  // Declared after db_: destroyed (shut down) before the connection closes.
  TaskPool pool_;
  std::string currentBank_ = kMainWord;
  std::string recitationList_ = kMainRemember;
  QString countText_;
  QPointer<QObject> recitationPage_;
  std::shared_ptr<WindowThreadBoxes> updateBoxes_;

  // The run the info box follows, and every run not yet over (cancelled
  // when the page closes, so the pool's shutdown does not fetch them).
  std::shared_ptr<LookupRun> run_;
  std::vector<std::weak_ptr<LookupRun>> runs_;
  RunKind runKind_ = RunKind::Batch;
  std::string runBank_;
  int runDistinct_ = 0;
  int runKnown_ = 0;
  std::unique_ptr<dictd::Dictionary> dictionary_;  // for 导入考试词表
  ReadingPlan runPlan_;                            // the plan of the run being followed
  std::vector<RecitationCells> planCells_;         // its words' rows, for kPlanWords
  bool runDictionaryWarned_ = false;
  bool progressShown_ = true;
  QTimer progressTimer_;
  // Words of ended runs that never reached the file, by bank, with their
  // hot values: "重新查询未找到的单词" looks them up again.
  std::map<std::string, std::vector<LookupRun::UnstoredWord>> unstored_;

  struct PendingWrite {
    std::function<Status()> attempt;
    std::function<void(const Status&)> done;
    std::chrono::steady_clock::time_point giveUpAt;
  };
  std::unique_ptr<PendingWrite> pendingWrite_;
  QTimer writeRetry_;
  std::chrono::milliseconds heldWait_{60000};

  WordListModel wordModel_;
  BankListModel bankModel_;
  QTableView* wordList_ = nullptr;     // kWordList
  QTableView* bankList_ = nullptr;     // kBankList
  QLineEdit* searchText_ = nullptr;    // kSearchText
  QLabel* countLabel_ = nullptr;       // kWordCount
  QLabel* bankLabel_ = nullptr;        // kCurrentBank
  QLabel* infoLabel_ = nullptr;        // kInfo
  QLineEdit* lowestHot_ = nullptr;     // kLowestHot
  QLineEdit* highestHot_ = nullptr;    // kHighestHot
  QComboBox* knownCombo_ = nullptr;    // kKnownFilter
  QComboBox* examCombo_ = nullptr;     // kExamFilter
  QComboBox* orderCombo_ = nullptr;    // kHotOrder
  QComboBox* batchCombo_ = nullptr;    // kBatchOperation
  QLineEdit* batchHot_ = nullptr;      // kBatchHotValue
  QLabel* batchHotLabel_ = nullptr;    // names kBatchHotValue
  QPushButton* dropButton_ = nullptr;  // kDropBanks
  QLineEdit* contactLine_ = nullptr;   // kContact
  QPushButton* cancelWait_ = nullptr;  // kCancelWait
  QPushButton* planButton_ = nullptr;  // kPlanWords
  QLabel* banner_ = nullptr;           // kBanner
};

}  // namespace quorvo
