#include "page2.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "app_layout.h"
#include "code_page.h"
#include "dialog_units.h"
#include "recitation_event.h"
#include "word_bank.h"

namespace quorvo {
namespace {


QString FromGbk(const char* gbk) { return gbk ? QString::fromStdString(Utf8(gbk)) : QString(); }

}  // namespace

CPage2::CPage2(QWidget* parent, Speech* speech) : QDialog(parent, Qt::Widget), speech_(speech) {
  setFont(DialogFont(9));
  BuildControls();
  OnInitDialog();
}

CPage2::~CPage2() {
  db_.Close();
  snapshot_.Reset();
  hasSnapshot_ = false;
  rowCount_ = columnCount_ = 0;
  position_ = 1;
}

void CPage2::BuildControls() {
  resize(DialogRect(0, 0, 500, 274).size());
  // White page; the statics are drawn transparently on it, in black.
  QPalette white = palette();
  white.setColor(QPalette::Window, QColor(255, 255, 255));
  white.setColor(QPalette::WindowText, QColor(0, 0, 0));
  setPalette(white);
  setAutoFillBackground(true);

  word_ = new QLabel(Ui("单词"), this);
  word_->setObjectName(QStringLiteral("1009"));
  word_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  PlaceAt(word_, 96, 51, 306, 46);

  phonetic_ = new QLabel(this);
  phonetic_->setObjectName(QStringLiteral("1051"));
  phonetic_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  PlaceAt(phonetic_, 96, 90, 306, 13);

  translation_ = new QLabel(Ui("释义"), this);
  translation_->setObjectName(QStringLiteral("1010"));
  translation_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  translation_->setWordWrap(true);
  translation_->setCursor(Qt::PointingHandCursor);
  PlaceAt(translation_, 93, 104, 363, 109);

  counter_ = new QLabel(this);
  counter_->setObjectName(QStringLiteral("1013"));
  counter_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  PlaceAt(counter_, 330, 16, 152, 25);

  auto button = [this](const char* text, int id, int x, int y) {
    auto* b = new QPushButton(Ui(text), this);
    b->setObjectName(QString::number(id));
    PlaceAt(b, x, y, 50, 14);
    return b;
  };
  connect(button("上一个", 1011, 93, 226), &QPushButton::clicked, this, &CPage2::PreviousWord);
  connect(button("下一个", 1012, 406, 226), &QPushButton::clicked, this, &CPage2::NextWord);

  PlaceText(new QLabel(Ui("手写板"), this), 160, 215, 60, 8);
  typingBox_ = new QLineEdit(this);
  typingBox_->setObjectName(QStringLiteral("1032"));
  PlaceAt(typingBox_, 160, 226, 230, 14);
  PlaceAt(new QLabel(Ui("注: 回车--下一个     Backspace--上一个 \n      空格--释义"), this), 160, 243, 230, 22);

  sayButton_ = button("发音", 1050, 406, 60);
  connect(sayButton_, &QPushButton::clicked, this, &CPage2::SayCurrentWord);
  UpdateSayButton();

  openButton_ = button("打开数据库", 1008, 406, 16);
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

  if (db_.Open(BankFile()) && LoadRecitationList(kMainRemember) == SQLITE_OK) Refresh();

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
  if (!db_.IsOpen()) return SQLITE_MISUSE;
  int rc = db_.LoadTable(SelectAllStatement(table), &snapshot_);
  if (rc == SQLITE_OK) {
    hasSnapshot_ = true;
    rowCount_ = snapshot_.Rows();
    columnCount_ = snapshot_.Columns();
  }
  return rc;
}

const char* CPage2::CurrentCell(int column) const {
  // Cells are read by the fixed column order of a bank.
  if (!hasSnapshot_ || column >= columnCount_ || position_ < 1 || position_ > rowCount_) return nullptr;
  return snapshot_.Cell(position_ * columnCount_ + column);
}

void CPage2::ShowCurrentWord() {
  if (!hasSnapshot_ || rowCount_ == 0) {
    word_->setText(Ui("没有单词"));
    phonetic_->clear();
  } else {
    word_->setText(FromGbk(CurrentCell(kColValue)));
    phonetic_->setText(FromGbk(CurrentCell(kColPhonetic)));
  }
}

void CPage2::UpdateSayButton() {
  // An engine can fail after it started (no sound device): asked again at
  // every card.
  bool available = speech_ && speech_->Available();
  sayButton_->setEnabled(available);
  sayButton_->setToolTip(available ? QString() : Ui(kNoSpeechTip));
}

void CPage2::SayCurrentWord() {
  if (!speech_ || !speech_->Available() || !hasSnapshot_ || rowCount_ == 0) return;
  QString word = FromGbk(CurrentCell(kColValue));
  if (!word.isEmpty()) speech_->Say(word);
}

void CPage2::ShowHint() {
  if (hasSnapshot_ && rowCount_ > 0) translation_->setText(Ui("点击看释义"));
}

void CPage2::ShowCounter() { counter_->setText(Ui("第%1个 共%2个单词").arg(position_).arg(rowCount_)); }

void CPage2::Refresh() {
  translationShown_ = false;
  UpdateSayButton();
  ShowCurrentWord();
  ShowHint();
  ShowCounter();
}

void CPage2::PreviousWord() {
  if (position_ <= 1) position_ = rowCount_ + 1;
  --position_;
  Refresh();
}

void CPage2::NextWord() {
  if (position_ >= rowCount_) position_ = 0;
  ++position_;
  Refresh();
}

void CPage2::ToggleTranslation() {
  if (!hasSnapshot_) return;
  if (translationShown_) {
    translationShown_ = false;
    ShowHint();
  } else {
    translationShown_ = true;
    if (rowCount_ > 0) translation_->setText(FromGbk(CurrentCell(kColTrans)));
  }
  typingBox_->setFocus();
}

void CPage2::OnOK() {
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

bool CPage2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space) {
      ToggleTranslation();
      return true;
    }
    if (key->key() == Qt::Key_Backspace) {
      PreviousWord();
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
