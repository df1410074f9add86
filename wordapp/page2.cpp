#include "wordapp/page2.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTimer>
#include <algorithm>
#include <thread>

#include "base/code_page.h"
#include "review/misspelling_book.h"
#include "review/review_session.h"
#include "review/spelling_check.h"
#include "startup/app_layout.h"
#include "wordapp/dialog_units.h"
#include "wordapp/page2_controls.h"
#include "wordapp/recitation_event.h"
#include "wordapp/review_controls.h"
#include "wordapp/run_summary.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_sentences.h"
#include "wordstore/write_failure.h"

namespace quorvo {
namespace {

QString FromGbk(const char* gbk) { return gbk ? QString::fromStdString(Utf8(gbk)) : QString(); }
constexpr int kRetryMilliseconds = 3000;

}  // namespace

CPage2::CPage2(WindowOps& ops, QWidget* parent) : QDialog(parent, Qt::Widget), ops_(ops) {
  setFont(DialogFont(9));
  session_ = std::make_unique<ReviewSession>(db_, [&ops] { return ops.NowSeconds(); });
  mistakes_ = std::make_unique<MisspellingRecorder>(db_, session_->Store().UtcOffset());
  BuildControls();
  OnInitDialog();
}

CPage2::~CPage2() {
  // A review kept while the file was busy gets a last chance.
  session_->RetryPending().IgnoreError();
  mistakes_->RetryPending().IgnoreError();
  mistakes_.reset();
  session_.reset();
  db_.Close();
  snapshot_.Reset();
  hasSnapshot_ = false;
  rowCount_ = columnCount_ = 0;
  position_ = 1;
}

void CPage2::BuildControls() {
  using namespace page2_controls;
  resize(DialogRect(0, 0, 500, 274).size());
  // White page; the statics are drawn transparently on it, in black.
  QPalette white = palette();
  white.setColor(QPalette::Window, QColor(255, 255, 255));
  white.setColor(QPalette::WindowText, QColor(0, 0, 0));
  setPalette(white);
  setAutoFillBackground(true);

  word_ = new QLabel(Ui("单词"), this);
  word_->setObjectName(QString::number(kWord));
  word_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  PlaceAt(word_, 96, 51, 306, 46);

  phonetic_ = new QLabel(this);
  phonetic_->setObjectName(QString::number(kPhonetic));
  phonetic_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  PlaceAt(phonetic_, 96, 90, 306, 13);

  translation_ = new QLabel(Ui("释义"), this);
  translation_->setObjectName(QString::number(kTranslation));
  translation_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  translation_->setWordWrap(true);
  translation_->setCursor(Qt::PointingHandCursor);
  PlaceAt(translation_, 93, 132, 363, 81);

  sentence_ = new QLabel(this);
  sentence_->setObjectName(QString::number(kSentence));
  sentence_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  sentence_->setWordWrap(true);
  PlaceAt(sentence_, 93, 104, 363, 27);

  counter_ = new QLabel(this);
  counter_->setObjectName(QString::number(kCounter));
  counter_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  PlaceAt(counter_, 330, 16, 152, 25);

  auto button = [this](const char* text, int id, int x, int y) {
    auto* b = new QPushButton(Ui(text), this);
    b->setObjectName(QString::number(id));
    // Focus stays in the typing box: Enter after a click is the next card.
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    PlaceAt(b, x, y, 50, 14);
    return b;
  };
  connect(button("上一个", kPrevious, 93, 226), &QPushButton::clicked, this, &CPage2::PreviousWord);
  connect(button("下一个", kNext, 406, 226), &QPushButton::clicked, this, &CPage2::NextWord);

  PlaceText(new QLabel(Ui("手写板"), this), 160, 215, 60, 8);
  typingBox_ = new QLineEdit(this);
  typingBox_->setObjectName(QString::number(kTypingBox));
  PlaceAt(typingBox_, 160, 226, 230, 14);
  PlaceAt(new QLabel(Ui("注: 回车--下一个     Backspace--上一个 \n      空格--释义"), this), 160, 243, 230, 22);

  sayButton_ = button("发音", kSay, 406, 60);
  connect(sayButton_, &QPushButton::clicked, this, &CPage2::SayCurrentWord);
  UpdateSayButton();

  openButton_ = button("打开数据库", kOpenDatabase, 406, 16);

  review_ = new ReviewControls(this);
  connect(review_, &ReviewControls::ModeChosen, this, [this](int mode) { ChooseMode(mode); });
  connect(review_, &ReviewControls::GradeChosen, this, &CPage2::GradeCard);
  connect(review_, &ReviewControls::NewPerDayChosen, this, [this](int count) {
    Status saved = session_->Store().SetNewCardsPerDay(count);
    LoadDueCards();
    if (!saved.ok()) review_->SetStatus(Ui("每日新词没能保存（%1）").arg(QString::fromStdString(CauseText(saved))));
    Refresh();
  });
  connect(review_, &ReviewControls::RetentionChosen, this, [this](double retention) {
    // One short try: the window keeps answering while another program
    // holds the file, and the learner is told and may choose again.
    int busy = db_.BusyTimeout();
    db_.SetBusyTimeout(std::min(busy, 250));
    Status saved = session_->Store().SetDesiredRetention(retention);
    db_.SetBusyTimeout(busy);
    if (!saved.ok())
      review_->SetStatus(
          Ui("目标记忆率没能保存（%1），复习仍按原来的目标安排。").arg(QString::fromStdString(CauseText(saved))));
    else if (!session_->Pending() && !mistakes_->Pending())
      review_->SetStatus({});
    review_->SetRetention(session_->Store().DesiredRetention());  // what the file holds
  });
  drillSelector_ = new QComboBox(this);
  drillSelector_->setObjectName(QString::number(kDrillMode));
  for (const char* name : {"看词", "默写", "听写"}) drillSelector_->addItem(Ui(name));
  drillSelector_->setFocusPolicy(Qt::NoFocus);
  PlaceAt(drillSelector_, 16, 34, 70, 14);
  drillSelector_->hide();
  connect(drillSelector_, &QComboBox::currentIndexChanged, this,
          [this](int drill) { SetDrill(static_cast<Drill>(drill)); });
  drillResult_ = new QLabel(this);
  drillResult_->setObjectName(QString::number(kDrillResult));
  drillResult_->setTextFormat(Qt::RichText);
  drillResult_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceAt(drillResult_, 93, 197, 363, 16);

  retry_ = new QTimer(this);
  retry_->setInterval(kRetryMilliseconds);
  connect(retry_, &QTimer::timeout, this, &CPage2::RetryPendingReviews);
  // Focus given to the page goes to the typing box.
  setFocusProxy(typingBox_);
}

void CPage2::OnInitDialog() {
  QFont wordFont = CellFont(QStringLiteral("Times New Roman"), 50, 700);
  QFont textFont = CellFont(Ui("微软雅黑"), 25, 550);
  translation_->setFont(textFont);
  counter_->setFont(textFont);
  word_->setFont(wordFont);
  phonetic_->setFont(CellFont(Ui("微软雅黑"), 20, 400));
  sentence_->setFont(CellFont(Ui("微软雅黑"), 18, 400));

  bool opened = ops_.readOnlyBanner.isEmpty() ? db_.Open(BankFile()) : db_.OpenReadOnly(BankFile());
  if (opened && LoadRecitationList(kMainRemember) == SQLITE_OK) Refresh();

  openButton_->setEnabled(false);
  openButton_->hide();

  // Space and Backspace belong to the page whichever of its controls has
  // the focus; the translation area reports clicks.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  typingBox_->setFocus();
}

int CPage2::LoadRecitationList(const std::string& table) {
  snapshot_.Reset();
  hasSnapshot_ = false;
  rowCount_ = columnCount_ = 0;
  position_ = 1;
  table_ = table;
  if (!db_.IsOpen()) return SQLITE_MISUSE;
  int rc = db_.LoadTable(SelectAllStatement(table), &snapshot_);
  if (rc == SQLITE_OK) {
    hasSnapshot_ = true;
    rowCount_ = snapshot_.Rows();
    columnCount_ = snapshot_.Columns();
    sentences_ = BankSentences(db_, table);
  } else {
    sentences_.clear();
  }
  if (reviewMode_) LoadDueCards();
  if (bookMode_) LoadMistakes();
  return rc;
}

const char* CPage2::CurrentCell(int column) const {
  // Cells are read by the fixed column order of a bank.
  int row = CurrentRow();
  if (!hasSnapshot_ || column >= columnCount_ || row < 1 || row > rowCount_) return nullptr;
  return snapshot_.Cell(row * columnCount_ + column);
}

int CPage2::CurrentRow() const {
  if (bookMode_) return bookRows_.empty() ? 0 : bookRows_[bookIndex_];
  if (!reviewMode_) return position_;
  const DueCard* card = session_->Current();
  return card ? card->row : 0;
}

void CPage2::ShowCurrentWord() {
  if (bookMode_ && bookRows_.empty()) {
    word_->setText(Ui("错题本是空的"));
    phonetic_->clear();
  } else if (reviewMode_ && !session_->Current()) {
    word_->setText(Ui("今日没有要复习的单词"));
    phonetic_->clear();
  } else if (!hasSnapshot_ || rowCount_ == 0) {
    word_->setText(Ui("没有单词"));
    phonetic_->clear();
  } else if (DrillActive()) {
    // The word is what the learner types; the phonetic is the hint.
    word_->setText(drill_ == kListen ? Ui("听写") : Ui("默写"));
    phonetic_->setText(attempts_ > 0 ? FromGbk(CurrentCell(kColPhonetic)) : QString());
  } else {
    word_->setText(FromGbk(CurrentCell(kColValue)));
    phonetic_->setText(FromGbk(CurrentCell(kColPhonetic)));
  }
  ShowSentence();
}

QString CPage2::Blanked(const QString& sentence, const QString& word) {
  if (word.isEmpty()) return sentence;
  QString text = sentence;
  text.replace(QRegularExpression(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(word)),
                                  QRegularExpression::CaseInsensitiveOption),
               QStringLiteral("____"));
  return text;
}

QString CPage2::Highlighted(const QString& sentence, const QString& word) {
  QRegularExpression whole(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(word)),
                           QRegularExpression::CaseInsensitiveOption);
  QString html;
  qsizetype at = 0;
  for (auto it = whole.globalMatch(sentence); !word.isEmpty() && it.hasNext();) {
    QRegularExpressionMatch match = it.next();
    html += sentence.mid(at, match.capturedStart() - at).toHtmlEscaped();
    html += QStringLiteral("<b><span style=\"color:#c0392b\">") + match.captured().toHtmlEscaped() +
            QStringLiteral("</span></b>");
    at = match.capturedEnd();
  }
  return html + sentence.mid(at).toHtmlEscaped();
}

void CPage2::ShowSentence() {
  const char* word =
      (hasSnapshot_ && rowCount_ > 0 && (!reviewMode_ || session_->Current())) ? CurrentCell(kColValue) : nullptr;
  auto found = word ? sentences_.find(word) : sentences_.end();
  if (found == sentences_.end() || found->second.empty()) {
    sentence_->clear();
    sentence_->setToolTip({});
    return;
  }
  const KeptSentence& kept = found->second.front();
  QString sentence = FromGbk(kept.text.c_str());
  QString shownWord = FromGbk(word);
  if (translationShown_) {
    sentence_->setTextFormat(Qt::RichText);
    sentence_->setText(Highlighted(sentence, shownWord));
  } else {
    sentence_->setTextFormat(Qt::PlainText);
    sentence_->setText(Blanked(sentence, shownWord));
  }
  sentence_->setToolTip(kept.bundled ? Ui("词典例句") : Ui("出自：") + FromGbk(kept.source.c_str()));
}

void CPage2::UpdateSayButton() {
  // An engine can fail after it started (no sound device): asked again at
  // every card.
  bool available = ops_.speech && ops_.speech->Available();
  sayButton_->setEnabled(available);
  sayButton_->setToolTip(available ? QString() : Ui(kNoSpeechTip));
}

void CPage2::SayCurrentWord() {
  if (!ops_.speech || !ops_.speech->Available()) return;
  const char* cell = CurrentCell(kColValue);
  if (!cell) return;
  QString word = FromGbk(cell);
  if (!word.isEmpty()) ops_.speech->Say(word);
}

void CPage2::ShowHint() {
  if (DrillActive())
    translation_->setText(drill_ == kWrite ? FromGbk(CurrentCell(kColTrans)) : QString());
  else if (bookMode_ && bookRows_.empty())
    translation_->setText(Ui("默写和听写里拼错的单词会记在这里，连续三天拼对就移出。"));
  else if (reviewMode_ && !session_->Current())
    translation_->setText(Ui("今天的复习已完成，可以切换到“全部单词”继续背诵。"));
  else if (hasSnapshot_ && rowCount_ > 0)
    translation_->setText(Ui("点击看释义"));
}

void CPage2::ShowCounter() {
  if (bookMode_)
    counter_->setText(Ui("错题本 %1 个").arg(Grouped(static_cast<long long>(bookRows_.size()))));
  else if (reviewMode_)
    counter_->setText(Ui("今日待复习 %1 个").arg(Grouped(session_->Count())));
  else
    counter_->setText(Ui("第%1个 共%2个单词").arg(Grouped(position_), Grouped(rowCount_)));
}

void CPage2::Refresh() {
  translationShown_ = false;
  UpdateSayButton();
  UpdateDrillSelector();
  StartDrillCard();
  ShowCurrentWord();
  ShowHint();
  ShowCounter();
  UpdateReviewControls();
}

void CPage2::PreviousWord() {
  if (bookMode_) {
    if (!bookRows_.empty()) bookIndex_ = (bookIndex_ + bookRows_.size() - 1) % bookRows_.size();
    Refresh();
    return;
  }
  if (reviewMode_) {
    session_->Previous();
    Refresh();
    return;
  }
  if (position_ <= 1) position_ = rowCount_ + 1;
  --position_;
  Refresh();
}

void CPage2::NextWord() {
  if (bookMode_) {
    if (!bookRows_.empty()) bookIndex_ = (bookIndex_ + 1) % bookRows_.size();
    Refresh();
    return;
  }
  if (reviewMode_) {
    session_->Next();
    Refresh();
    return;
  }
  if (position_ >= rowCount_) position_ = 0;
  ++position_;
  Refresh();
}

void CPage2::ToggleTranslation() {
  if (!hasSnapshot_ || DrillActive()) return;
  if (translationShown_) {
    translationShown_ = false;
    ShowHint();
  } else {
    translationShown_ = true;
    if (rowCount_ > 0 && CurrentRow() > 0) translation_->setText(FromGbk(CurrentCell(kColTrans)));
  }
  ShowSentence();
  UpdateReviewControls();
  typingBox_->setFocus();
}

void CPage2::ChooseMode(int mode) {
  if (mode == ReviewControls::kMistakes) {
    if (review_->CurrentMode() != ReviewControls::kMistakes) {
      review_->SetMode(ReviewControls::kMistakes);  // reports back here
      return;
    }
    reviewMode_ = false;
    bookMode_ = true;
    bookIndex_ = 0;
    LoadMistakes();
    Refresh();
    typingBox_->setFocus();
    return;
  }
  bool wasBook = bookMode_;
  bookMode_ = false;
  SetReviewMode(mode == ReviewControls::kDueToday);
  if (wasBook) Refresh();
}

void CPage2::LoadMistakes() {
  bookRows_.clear();
  if (!hasSnapshot_) return;
  std::unordered_map<std::string, int> rows;
  for (int row = 1; row <= rowCount_; ++row) {
    const char* word = snapshot_.Cell(row * columnCount_ + kColValue);
    if (word) rows.emplace(word, row);
  }
  MisspellingBook book(db_, session_->Store().UtcOffset());
  for (const Misspelling& m : book.Words(table_.empty() ? std::string(kMainRemember) : table_)) {
    auto found = rows.find(m.word);
    if (found != rows.end()) bookRows_.push_back(found->second);
  }
  if (bookIndex_ >= bookRows_.size()) bookIndex_ = 0;
}

void CPage2::SetReviewMode(bool review) {
  if (review_->CurrentMode() != (review ? ReviewControls::kDueToday : ReviewControls::kAllWords)) {
    // The selector reports the change back here.
    review_->SetMode(review ? ReviewControls::kDueToday : ReviewControls::kAllWords);
    return;
  }
  if (reviewMode_ == review) return;
  reviewMode_ = review;
  if (reviewMode_) LoadDueCards();
  Refresh();
  typingBox_->setFocus();
}

void CPage2::LoadDueCards() {
  std::vector<std::string> words;
  if (hasSnapshot_) {
    words.reserve(rowCount_);
    for (int row = 1; row <= rowCount_; ++row) {
      const char* word = snapshot_.Cell(row * columnCount_ + kColValue);
      words.emplace_back(word ? word : "");
    }
  }
  Status loaded = session_->Load(table_.empty() ? std::string(kMainRemember) : table_, words);
  // Cards that cannot be read now are not offered as new ones.
  if (loaded.ok()) {
    review_->SetRetention(session_->Store().DesiredRetention());
    if (!session_->Pending() && !mistakes_->Pending()) review_->SetStatus({});
  } else {
    review_->SetStatus(
        Ui("复习记录暂时无法读取（%1），稍后再打开今日复习。").arg(QString::fromStdString(CauseText(loaded))));
  }
}

void CPage2::GradeCard(Grade grade) {
  if (!reviewMode_ || !translationShown_ || !session_->Current()) return;
  StoreGrade(grade);
}

void CPage2::StoreGrade(Grade grade) {
  Status stored = session_->GradeCurrent(grade);
  // The file took the grade: the kept drill tries may go too.
  if (stored.ok() && mistakes_->Pending() && !(bookRefused_ = mistakes_->RetryPending()).ok()) bookRefusedLast_ = true;
  if (!stored.ok()) {
    reviewRefused_ = stored;
    bookRefusedLast_ = false;
  }
  ShowKeptWrites();
  Refresh();
  typingBox_->setFocus();
}

void CPage2::ShowKeptWrites() {
  int reviews = session_->Pending(), tries = mistakes_->Pending();
  if (tries > 0 && (bookRefusedLast_ || reviews == 0)) {
    review_->SetStatus(Ui("错题本暂时无法保存（%1），%2 条已暂存，稍后自动保存。")
                           .arg(QString::fromStdString(CauseText(bookRefused_)), QString::number(tries)));
  } else if (reviews > 0) {
    QString count = QString::number(reviews);
    review_->SetStatus(reviewRefused_.code() == StatusCode::kBusy
                           ? Ui("词库文件正被其他程序占用，%1 条复习记录已暂存，稍后自动保存。").arg(count)
                           : Ui("复习记录暂时无法保存（%2），%1 条已暂存，稍后再试。")
                                 .arg(count, QString::fromStdString(CauseText(reviewRefused_))));
  } else {
    review_->SetStatus({});
  }
  if (reviews > 0 || tries > 0)
    retry_->start();
  else
    retry_->stop();
}

void CPage2::RetryPendingReviews() {
  // In order, and a pass ends at the first write the file refuses.
  Status stored = session_->RetryPending();
  if (!stored.ok()) {
    reviewRefused_ = stored;
    bookRefusedLast_ = false;
  } else if (!(stored = mistakes_->RetryPending()).ok()) {
    bookRefused_ = stored;
    bookRefusedLast_ = true;
  }
  ShowKeptWrites();
}

int CPage2::PendingMisspellings() const { return mistakes_->Pending(); }

PendingWrites CPage2::FlushBeforeExit(std::chrono::steady_clock::time_point deadline) {
  retry_->stop();
  db_.SetBusyTimeout(250);
  auto flush = [this] {
    Status stored = session_->RetryPending();
    return stored.ok() ? mistakes_->RetryPending() : stored;
  };
  while (!flush().ok() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  PendingWrites left;
  for (auto& kept : session_->TakePending())
    left.reviews.push_back({std::move(kept.bank), std::move(kept.word), static_cast<int>(kept.grade), kept.at});
  left.misspellings = mistakes_->TakePending();
  return left;
}

void CPage2::UpdateReviewControls() {
  bool card = reviewMode_ && session_->Current();
  // A drill grades by the typed word, not by the buttons.
  review_->ShowGrades(card && drill_ == kLook, card && translationShown_);
  review_->ShowNothingDue(reviewMode_ && !session_->Current());
  review_->ShowNewPerDay(reviewMode_, reviewMode_ ? session_->Store().NewCardsPerDay() : 0);
  review_->ShowRetention(reviewMode_);
  review_->SetSettingsWritable(db_.IsOpen() && !db_.ReadOnly());
}

bool CPage2::DrillActive() const {
  return drill_ != kLook && ((reviewMode_ && session_->Current()) || (bookMode_ && !bookRows_.empty()));
}

void CPage2::UpdateDrillSelector() {
  bool speech = ops_.speech && ops_.speech->Available();
  if (auto* model = qobject_cast<QStandardItemModel*>(drillSelector_->model())) {
    QStandardItem* listen = model->item(kListen);
    listen->setEnabled(speech);
    listen->setToolTip(speech ? QString() : Ui(kNoSpeechTip));
  }
  if (!speech && drill_ == kListen) drillSelector_->setCurrentIndex(kLook);  // reports back to SetDrill
  drillSelector_->setVisible(reviewMode_ || bookMode_);
  if (!DrillActive()) drillResult_->clear();
}

void CPage2::SetDrill(Drill drill) {
  if (drillSelector_->currentIndex() != drill) {
    drillSelector_->setCurrentIndex(drill);  // reports back here
    return;
  }
  if (drill_ == drill) return;
  drill_ = drill;
  drillWord_.clear();
  typingBox_->clear();
  Refresh();
  typingBox_->setFocus();
}

void CPage2::StartDrillCard() {
  if (!DrillActive()) {
    drillWord_.clear();
    return;
  }
  const char* cell = CurrentCell(kColValue);
  std::string word = cell ? cell : "";
  if (word == drillWord_) return;
  drillWord_ = word;
  attempts_ = 0;
  drillShownAt_ = ops_.NowSeconds();
  phonetic_->clear();
  if (drill_ == kListen) SayCurrentWord();
}

namespace {

// The typed text with the differences marked: a wrong letter red and
// underlined, a missing one a red "_", an extra one struck through, two
// swapped ones orange.
QString MarkedSpelling(const SpellingCheck& check) {
  QString html;
  for (const SpellingStep& step : check.steps) {
    QString typed = QString::fromStdString(step.typed).toHtmlEscaped();
    switch (step.kind) {
      case SpellingStep::kRight:
        html += typed;
        break;
      case SpellingStep::kWrong:
        html += QStringLiteral("<u style=\"color:#c0392b\">%1</u>").arg(typed);
        break;
      case SpellingStep::kMissing:
        html += QStringLiteral("<span style=\"color:#c0392b\">_</span>");
        break;
      case SpellingStep::kExtra:
        html += QStringLiteral("<s style=\"color:#c0392b\">%1</s>").arg(typed);
        break;
      case SpellingStep::kSwapped:
        html += QStringLiteral("<span style=\"color:#d35400\">%1</span>").arg(typed);
        break;
    }
  }
  return QStringLiteral("<span style=\"font-family:monospace\">%1</span>").arg(html);
}

}  // namespace

void CPage2::CheckDrill() {
  if (!DrillActive()) return;
  QString typed = typingBox_->text().trimmed();
  if (typed.isEmpty()) return;
  QString word = FromGbk(CurrentCell(kColValue));
  // The other spelling counts when the dictionary (or the list) has it.
  auto listed = [this](std::string_view spelling) {
    std::string gbk = Gbk(spelling);
    return HasWord(db_, kMainWord, gbk) || HasWord(db_, table_.empty() ? std::string(kMainRemember) : table_, gbk);
  };
  SpellingCheck check = CheckSpelling(typed.toStdString(), word.toStdString(), listed);
  int attempt = attempts_ + 1;
  if (attempt == 1) {
    // The first try decides what 错题本 learns; one the file refuses waits,
    // with those before it, for the retry timer.
    const char* cell = CurrentCell(kColValue);
    bool kept = mistakes_->Pending() > 0;
    Status stored = mistakes_->Record(
        {table_.empty() ? std::string(kMainRemember) : table_, cell ? cell : "", check.correct, ops_.NowSeconds()});
    if (!stored.ok()) {
      bookRefused_ = stored;
      bookRefusedLast_ = true;
    }
    if (kept || !stored.ok()) ShowKeptWrites();
  }
  if (!check.correct && attempt == 1) {
    attempts_ = 1;
    drillResult_->setText(MarkedSpelling(check) + Ui("　拼错了，看音标再试一次"));
    phonetic_->setText(FromGbk(CurrentCell(kColPhonetic)));
    typingBox_->selectAll();
    typingBox_->setFocus();
    return;
  }
  Grade grade = DrillGrade(attempt, check.correct, static_cast<double>(ops_.NowSeconds() - drillShownAt_));
  if (check.correct)
    drillResult_->setText(Ui("正确：") + word.toHtmlEscaped() + (check.variant ? Ui("（另一种拼法）") : QString()));
  else
    drillResult_->setText(MarkedSpelling(check) + Ui("　正确拼写：") +
                          QStringLiteral("<b>%1</b>").arg(word.toHtmlEscaped()));
  QString result = drillResult_->text();
  typingBox_->clear();
  if (bookMode_) {
    // 错题本 drills outside the schedule: no grade, the next word.
    drillWord_.clear();
    size_t at = bookIndex_, before = bookRows_.size();
    LoadMistakes();
    // A word that left makes room for the next at its place.
    if (!bookRows_.empty()) bookIndex_ = (bookRows_.size() < before ? at : at + 1) % bookRows_.size();
    Refresh();
  } else {
    StoreGrade(grade);  // the next card
  }
  drillResult_->setText(result);
}

void CPage2::OnOK() {
  if (DrillActive()) {
    CheckDrill();
    return;
  }
  NextWord();
  typingBox_->clear();
  typingBox_->setFocus();
}

bool CPage2::event(QEvent* event) {
  if (event->type() == RecitationListChangedEvent::kType) {
    // The text is the page's from here on; it goes when this scope ends.
    std::unique_ptr<std::string> table = static_cast<RecitationListChangedEvent*>(event)->TakeTableName();
    if (table && LoadRecitationList(*table) == SQLITE_OK) Refresh();
    return true;
  }
  return QDialog::event(event);
}

void CPage2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (reviewMode_ && session_->Stale()) {
    LoadDueCards();
    Refresh();
  }
}

bool CPage2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (DrillActive()) {
      // Typing: Space and the digits go into the box, Backspace edits it.
      bool typing = key->key() == Qt::Key_Space || key->key() == Qt::Key_Backspace ||
                    (key->key() >= Qt::Key_1 && key->key() <= Qt::Key_4);
      if (typing && watched != typingBox_) {
        typingBox_->setFocus();
        QApplication::sendEvent(typingBox_, event);
        return true;
      }
      if (typing) return false;
    }
    if (key->key() == Qt::Key_Space) {
      ToggleTranslation();
      return true;
    }
    if (key->key() == Qt::Key_Backspace) {
      // While the typing box holds text, Backspace corrects it.
      if (watched == typingBox_ && !typingBox_->text().isEmpty()) return false;
      PreviousWord();
      return true;
    }
    // 1-4 grade a due card once its translation is shown; before that they
    // are typed like any other key.
    if (reviewMode_ && translationShown_ && session_->Current() && key->key() >= Qt::Key_1 && key->key() <= Qt::Key_4 &&
        !(key->modifiers() & ~Qt::KeypadModifier)) {
      GradeCard(static_cast<Grade>(key->key() - Qt::Key_1 + 1));
      return true;
    }
  } else if (watched == translation_ && event->type() == QEvent::MouseButtonPress &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ToggleTranslation();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CPage2::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & ~Qt::KeypadModifier)) {
    OnOK();
    return;
  }
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

}  // namespace quorvo
