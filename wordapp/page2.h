// CPage2: the recitation page, second tab ("浏览") of the main window.
//
// Drills the recitation list (main_remember) as flash cards: the word in
// large type, its translation behind "点击看释义" until asked for, the
// position "第%d个 共%d个单词", and the keys Enter (next word, clears the
// typing box), Backspace (previous word) and Space (translation on and off),
// caught before whichever control of the page has the focus.
//
// Under the word's phonetic the card shows the word's first kept sentence
// with the word blanked ("She ____ the letter twice."), and the whole
// sentence, the word highlighted, once the translation is shown.
//
// The word's phonetic, when the list has one, shows beneath it; "发音" says
// the word through the window ops' Speech (disabled, with a tooltip, when
// there is none or it has no engine).
//
// 错题本 (the third choice of the first selector) shows only the words
// misspelt in drills (MisspellingBook), drilled the same way but without
// grading the schedule; a word leaves it after three right days in a row.
// The first try of every drill goes to the book (MisspellingRecorder); one
// the file refuses is kept, said so under the selector, and written with the
// kept reviews: by the same timer, at the end, or else through the pending
// journal at the next start.
//
// In 今日复习 a second selector "看词 / 默写 / 听写" chooses the drill: 看词 is
// the card as above; 默写 shows the translation and the blanked sentence,
// 听写 says the word and shows nothing else. The learner types the word in
// the typing box and presses Enter: the check marks the differences; a
// first mistake shows the phonetic and allows one more try; the result
// grades the card (spelling_check.h). There the keys 1-4 and Space type
// into the box and Backspace edits it. 听写 needs a speech engine.
//
// The page's buttons take no focus: after a click Enter still means the
// next card (or the check), never the button again.
//
// Every control carries its id (page2_controls.h) as its object name.
//
// The selector "全部单词 / 今日复习" switches between every card in list
// order and today's due cards (ReviewSession), graded after the translation
// is shown with the keys 1-4 or the grade buttons; only those reviews are
// written, through the review store, at the time of the window ops' clock.
//
// Owns its own WordDatabase on "dict_main.db" and a TableSnapshot of the
// list, loaded at start and again on RecitationListChanged. Window thread
// only.
#pragma once

#include <QDialog>
#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "review/fsrs.h"
#include "wordapp/window_ops.h"
#include "wordstore/pending_journal.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/word_database.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quorvo {

class MisspellingRecorder;
class ReviewControls;
class ReviewSession;

class CPage2 : public QDialog {
  Q_OBJECT
 public:
  explicit CPage2(WindowOps& ops, QWidget* parent = nullptr);
  ~CPage2() override;

  // Loads "select * from <table>" into the snapshot; the library's result
  // code. Without a connection nothing is touched but the counts.
  int LoadRecitationList(const std::string& table);
  void ShowCurrentWord();
  void ShowHint();
  void ShowCounter();
  void Refresh();
  void PreviousWord();
  void NextWord();
  void ToggleTranslation();
  // Enter: the next word, with the typing box cleared and focused.
  void OnOK();
  // "发音": says the current word; nothing without words or an engine.
  void SayCurrentWord();

  enum Drill { kLook = 0, kWrite = 1, kListen = 2 };
  // The drill of 今日复习, as its selector chooses.
  void SetDrill(Drill drill);
  Drill CurrentDrill() const { return drill_; }
  // Checks the typing box against the current card in 默写 and 听写.
  void CheckDrill();

  // The selector's choice: 全部单词, 今日复习 or 错题本 (ReviewControls::Mode).
  void ChooseMode(int mode);
  bool MistakesMode() const { return bookMode_; }
  int MistakeCount() const { return static_cast<int>(bookRows_.size()); }

  // 今日复习 (true) or 全部单词 (false), as the selector chooses.
  void SetReviewMode(bool review);
  bool ReviewMode() const { return reviewMode_; }
  // Grades the current due card (after its translation was shown) and moves on.
  void GradeCard(Grade grade);
  ReviewSession& Session() { return *session_; }
  // The drills' first tries 错题本 could not take yet.
  int PendingMisspellings() const;
  // The end of quorvo: the kept reviews and drill tries are stored, tried
  // again while another program holds the file, until deadline; those that
  // still cannot be are returned (and given up here) for the program to keep
  // elsewhere.
  PendingWrites FlushBeforeExit(std::chrono::steady_clock::time_point deadline);

  // The sentence shown with word blanked (cloze) or, as rich text, with
  // word highlighted; every whole-word occurrence, in any letter case.
  static QString Blanked(const QString& sentence, const QString& word);
  static QString Highlighted(const QString& sentence, const QString& word);

  int Position() const { return position_; }
  int RowCount() const { return rowCount_; }
  bool TranslationShown() const { return translationShown_; }

 protected:
  bool event(QEvent* event) override;
  // Coming back to the page on a new day chooses that day's due cards.
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Escape must not close a page.
  void reject() override {}

 private:
  void BuildControls();
  void UpdateSayButton();
  void ShowSentence();
  void OnInitDialog();
  // The snapshot's cell of the current row, or null.
  const char* CurrentCell(int column) const;
  // The snapshot row on screen: the position, or the due card's row.
  int CurrentRow() const;
  void LoadDueCards();
  void UpdateReviewControls();
  void RetryPendingReviews();
  // The status line for what is kept: the text of the latest kind refused
  // while some of it waits, nothing once all is written; the timer runs
  // while anything is kept.
  void ShowKeptWrites();
  void StoreGrade(Grade grade);
  bool DrillActive() const;
  // A new card in a drill: the attempts start again; 听写 says the word.
  void StartDrillCard();
  void UpdateDrillSelector();
  // The list's rows of the words in 错题本, in the book's order.
  void LoadMistakes();

  WindowOps& ops_;
  WordDatabase db_;
  TableSnapshot snapshot_;
  bool hasSnapshot_ = false;
  int rowCount_ = 0;
  int columnCount_ = 0;
  int position_ = 1;
  bool translationShown_ = false;
  std::string table_;
  std::unordered_map<std::string, std::vector<KeptSentence>> sentences_;  // of the list, by word
  bool reviewMode_ = false;
  std::unique_ptr<ReviewSession> session_;
  std::unique_ptr<MisspellingRecorder> mistakes_;
  Status reviewRefused_;  // why the kept reviews wait
  Status bookRefused_;    // why the kept drill tries wait
  bool bookRefusedLast_ = false;
  ReviewControls* review_ = nullptr;
  QTimer* retry_ = nullptr;

  QLabel* word_ = nullptr;              // kWord
  QLabel* translation_ = nullptr;       // kTranslation
  QLabel* counter_ = nullptr;           // kCounter
  QLabel* sentence_ = nullptr;          // kSentence
  QLineEdit* typingBox_ = nullptr;      // kTypingBox
  QPushButton* openButton_ = nullptr;   // kOpenDatabase
  QLabel* phonetic_ = nullptr;          // kPhonetic
  QPushButton* sayButton_ = nullptr;    // kSay
  QComboBox* drillSelector_ = nullptr;  // kDrillMode
  QLabel* drillResult_ = nullptr;       // kDrillResult

  Drill drill_ = kLook;
  std::string drillWord_;  // the card the attempts belong to (GBK)
  int attempts_ = 0;       // wrong tries of the drilled card
  int64_t drillShownAt_ = 0;
  bool bookMode_ = false;      // 错题本: the misspelt words of the list
  std::vector<int> bookRows_;  // snapshot rows
  size_t bookIndex_ = 0;
};

}  // namespace quorvo
