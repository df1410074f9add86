#include "page1.h"

#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <thread>

#include "app_layout.h"
#include "code_page.h"
#include "convert_words.h"
#include "dialog_units.h"
#include "insert_dlg.h"
#include "recitation_event.h"
#include "review_store.h"
#include "translation_task.h"
#include "window_thread_boxes.h"

namespace quorvo {
namespace {

constexpr char kContactAddress[] = "quorvo@example.com";
// Bank names and words are read back from the lists with a 56-byte
// capacity; "更新释义" reads words with 128 bytes.
constexpr size_t kWordCapacity = 55;
constexpr size_t kLookupWordCapacity = 127;
// Width of the "音标" column while it is shown.
constexpr int kPhoneticWidth = 140;

QString FromGbk(const std::string& gbk) { return QString::fromStdString(Utf8(gbk)); }
std::string ToGbk(const QString& text) { return Gbk(text.toStdString()); }

// The selection of a combo box, or -1 when the user typed a text of their
// own into a drop-down one (which then contributes nothing).
int ComboSelection(const QComboBox* combo) {
  int index = combo->currentIndex();
  if (index < 0) return -1;
  if (combo->isEditable() && combo->currentText() != combo->itemText(index)) return -1;
  return index;
}

QLineEdit* DigitsEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

void StyleList(QTableView* view) {
  // Report view, single full-row selection that stays shown, grid lines,
  // movable headers; row numbers are a column of their own.
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setShowGrid(true);
  view->setWordWrap(false);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->horizontalHeader()->setSectionsMovable(true);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->verticalHeader()->hide();
  // Fixed row heights keep a list of 100,000 rows as cheap as one of ten.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void SetListFont(QTableView* view) {
  view->setFont(CellFont(Ui("微软雅黑"), 18, 550));
  view->verticalHeader()->setDefaultSectionSize(QFontMetrics(view->font()).height() + 8);
}

void SetColumns(QTableView* view, const int* widths, int count) {
  for (int c = 0; c < count; ++c) {
    view->setColumnWidth(c, widths[c]);
    view->setColumnHidden(c, widths[c] == 0);
  }
}

}  // namespace

CPage1::CPage1(WindowOps& ops, QWidget* parent)
    : QDialog(parent, Qt::Widget), ops_(ops), boxes_(*ops.boxes), db_(ops.boxes) {
  setFont(DialogFont(9));
  BuildControls();
  OnInitDialog();
}

CPage1::~CPage1() {
  if (updateBoxes_) updateBoxes_->Detach();
  // No lookup may write through a closed connection.
  pool_.Shutdown();
  db_.Close();
}

void CPage1::BuildControls() {
  resize(DialogRect(0, 0, 540, 330).size());

  // Group boxes first, so the controls inside them lie above their frames.
  auto group = [this](const char* title, int x, int y, int w, int h) {
    auto* box = new QGroupBox(Ui(title), this);
    PlaceAt(box, x, y, w, h);
  };
  group("信息栏", 4, 228, 103, 83);
  group(" 搜索框", 120, 229, 181, 83);
  group("单词管理", 314, 229, 86, 84);
  group("词典管理", 414, 229, 86, 83);

  auto label = [this](const char* text, int id, int x, int y, int w, int h) {
    auto* l = new QLabel(Ui(text), this);
    if (id) l->setObjectName(QString::number(id));
    PlaceText(l, x, y, w, h);
    return l;
  };
  auto button = [this](const char* text, int id, int x, int y, int w, int h) {
    auto* b = new QPushButton(Ui(text), this);
    b->setObjectName(QString::number(id));
    PlaceAt(b, x, y, w, h);
    return b;
  };
  auto combo = [this](int id, bool editable, int x, int y, int w) {
    auto* c = new QComboBox(this);
    c->setObjectName(QString::number(id));
    c->setEditable(editable);
    if (editable) c->setInsertPolicy(QComboBox::NoInsert);
    PlaceAt(c, x, y, w, 14);
    return c;
  };

  wordList_ = new QTableView(this);
  wordList_->setObjectName(QStringLiteral("1001"));
  PlaceAt(wordList_, 0, 0, 535, 224);
  bankList_ = new QTableView(this);
  bankList_->setObjectName(QStringLiteral("1008"));
  PlaceAt(bankList_, 0, 0, 535, 224);

  countLabel_ = label("单词总数:", 1004, 9, 254, 73, 8);
  countText_ = countLabel_->text();
  bankLabel_ = label("当前词库:main_word", 1012, 9, 273, 96, 8);
  label("可以进行转换", 1007, 9, 292, 73, 8);

  label("所含单词：", 0, 124, 247, 54, 8);
  searchText_ = new QLineEdit(this);
  searchText_->setObjectName(QStringLiteral("1002"));
  searchText_->setMaxLength(512);
  PlaceAt(searchText_, 182, 245, 108, 14);
  label("热度范围：", 0, 124, 269, 57, 8);
  lowestHot_ = DigitsEdit(this);
  lowestHot_->setObjectName(QStringLiteral("1032"));
  PlaceAt(lowestHot_, 182, 267, 22, 14);
  label("~", 0, 213, 270, 8, 8);
  highestHot_ = DigitsEdit(this);
  highestHot_->setObjectName(QStringLiteral("1035"));
  PlaceAt(highestHot_, 226, 267, 22, 14);
  knownCombo_ = combo(1033, true, 124, 292, 48);
  orderCombo_ = combo(1034, true, 182, 292, 48);
  connect(button("搜索", 1003, 241, 291, 50, 14), &QPushButton::clicked, this, &CPage1::Refresh);

  connect(button("添加新单词", 1006, 336, 244, 50, 14), &QPushButton::clicked, this, &CPage1::AddWords);
  batchCombo_ = combo(1014, false, 335, 269, 60);
  batchHot_ = DigitsEdit(this);
  batchHot_->setObjectName(QStringLiteral("1036"));
  PlaceAt(batchHot_, 315, 269, 17, 12);
  batchHot_->hide();
  connect(button("确定更新", 1015, 337, 291, 50, 14), &QPushButton::clicked, this, &CPage1::RunBatch);

  connect(button("默认词库", 1011, 430, 239, 58, 14), &QPushButton::clicked, this, [this] { ShowBank(kMainWord); });
  connect(button("查看背诵列表", 1010, 430, 257, 58, 14), &QPushButton::clicked, this,
          [this] { ShowBank(recitationList_); });
  connect(button("查看词典列表", 1005, 430, 275, 58, 14), &QPushButton::clicked, this, &CPage1::ShowBanks);
  dropButton_ = button("删除词典", 1009, 430, 293, 58, 14);
  dropButton_->hide();
  connect(dropButton_, &QPushButton::clicked, this, &CPage1::DropBanks);

  contactLine_ = new QLineEdit(this);
  contactLine_->setObjectName(QStringLiteral("1037"));
  contactLine_->setReadOnly(true);
  PlaceAt(contactLine_, 313, 313, 188, 14);

  // A double click on a column header of either list, whatever the state of
  // the database, asks for a database to be opened.
  for (QTableView* view : {wordList_, bankList_})
    connect(view->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this] { boxes_.Show(BoxKind::Plain, Gbk("请先选择需要打开的数据库")); });
  connect(bankList_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) OpenBank(index.row());
  });
  connect(batchCombo_, &QComboBox::currentIndexChanged, this, &CPage1::OnBatchChoice);
}

void CPage1::OnInitDialog() {
  if (db_.Open(BankFile())) {
    SetUpWordList();
    std::vector<WordRow> rows;
    db_.QueryRows(SelectAllStatement(kMainWord),
                  [&rows](int, const RowView& row) { WordListModel::AppendRow(rows, row); });
    wordModel_.Reset(std::move(rows));
    countText_ = Ui("单词总数: %1").arg(wordModel_.rowCount());
    SetUpBankList();
    bankList_->hide();
    bankList_->setGeometry(wordList_->geometry());
    ShowCountText();
  }
  FillCombos();
  wordList_->setToolTip(Ui("可以加入背诵列表中哦"));
  bankList_->setToolTip(Ui("双击打开词典"));
  StartUpdateCheck();
  contactLine_->setText(Ui("您如果有好的建议或者用的不爽，请发邮件: ") + QString::fromLatin1(kContactAddress));
  contactLine_->setCursorPosition(0);
}

void CPage1::SetUpWordList() {
  StyleList(wordList_);
  SetListFont(wordList_);
  wordList_->setModel(&wordModel_);
  SetColumns(wordList_, WordListModel::kWidths, WordListModel::kColumnCount);
  // The "音标" column is shown while the listed rows carry phonetics.
  connect(&wordModel_, &QAbstractItemModel::modelReset, this, &CPage1::ShowPhoneticColumn);
  ShowPhoneticColumn();
  wordList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(wordList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QModelIndex index = wordList_->indexAt(pos);
    if (!index.isValid()) return;
    std::unique_ptr<QMenu> menu(MakeWordMenu(index.row()));
    menu->exec(wordList_->viewport()->mapToGlobal(pos));
  });
}

void CPage1::ShowPhoneticColumn() {
  // The column takes its width from "释义", so the list keeps its width.
  bool shown = wordModel_.HasPhonetics();
  if (shown) wordList_->setColumnWidth(kColPhonetic, kPhoneticWidth);
  wordList_->setColumnHidden(kColPhonetic, !shown);
  wordList_->setColumnWidth(kColTrans, WordListModel::kWidths[kColTrans] - (shown ? kPhoneticWidth : 0));
}

QMenu* CPage1::MakeWordMenu(int row) {
  auto* menu = new QMenu(wordList_);
  QAction* say = menu->addAction(Ui("发音"));
  if (!ops_.speech || !ops_.speech->Available()) {
    say->setEnabled(false);
    say->setToolTip(Ui(kNoSpeechTip));
    menu->setToolTipsVisible(true);
    return menu;
  }
  // The word is taken now: the list may be refreshed before the entry is chosen.
  QString word = FromGbk(wordModel_.CellText(row, kColValue));
  connect(say, &QAction::triggered, this, [speech = ops_.speech, word] { speech->Say(word); });
  return menu;
}

void CPage1::SetUpBankList() {
  StyleList(bankList_);
  // A second font of the same kind.
  SetListFont(bankList_);
  bankList_->setModel(&bankModel_);
  SetColumns(bankList_, BankListModel::kWidths, BankListModel::kColumnCount);
}

void CPage1::FillCombos() {
  auto fill = [](QComboBox* combo, std::initializer_list<const char*> items) {
    int i = 0;
    for (const char* item : items) combo->insertItem(i++, Ui(item));
    combo->setCurrentIndex(0);
  };
  fill(batchCombo_, {"批量操作", "更新释义", "更新热度", "会背", "删除单词", "添加到背诵列表"});
  fill(knownCombo_, {"全部", "会背", "不会背"});
  fill(orderCombo_, {"由高到低", "由低到高"});
}

void CPage1::StartUpdateCheck() {
  if (!ops_.updateCheck) return;
  // The check may ask the user something; its boxes are shown from this
  // (the window) thread without blocking the windows, while the check waits
  // for the answer.
  updateBoxes_ = std::make_shared<WindowThreadBoxes>(this, &boxes_, ops_.modelessBoxes);
  std::thread([check = ops_.updateCheck, boxes = updateBoxes_] {
    UpdateCheckEnv env;
    env.boxes = boxes.get();
    check(env);
  }).detach();
}

void CPage1::ShowCountText() { countLabel_->setText(countText_); }

WordFilter CPage1::FilterFromControls() const {
  WordFilter filter;
  filter.searchText = ToGbk(searchText_->text());
  switch (ComboSelection(knownCombo_)) {
    case 0:
      filter.known = KnownFilter::All;
      break;
    case 1:
      filter.known = KnownFilter::Known;
      break;
    case 2:
      filter.known = KnownFilter::Unknown;
      break;
    default:
      filter.known = KnownFilter::None;
      break;
  }
  filter.lowestHot = ToGbk(lowestHot_->text());
  filter.highestHot = ToGbk(highestHot_->text());
  switch (ComboSelection(orderCombo_)) {
    case 0:
      filter.order = HotOrder::Descending;
      break;
    case 1:
      filter.order = HotOrder::Ascending;
      break;
    default:
      filter.order = HotOrder::None;
      break;
  }
  return filter;
}

void CPage1::Refresh() {
  if (!db_.IsOpen()) {
    boxes_.Show(BoxKind::Plain, Gbk("请先选择需要打开的数据库"));
    return;
  }
  // The list lets go of its rows first, so a large bank is never held
  // twice; the new rows are gathered and handed to it in one reset. The list
  // is not drawn in between.
  wordModel_.Reset({});
  std::vector<WordRow> rows;
  int count = db_.QueryRows(BuildSearchStatement(currentBank_, FilterFromControls()),
                            [&rows](int, const RowView& row) { WordListModel::AppendRow(rows, row); });
  wordModel_.Reset(std::move(rows));
  countText_ = Ui("单词总数: %1").arg(count);
  ShowCountText();
}

void CPage1::ShowBanks() {
  bankModel_.Reset(ListBanks(db_));
  wordList_->hide();
  bankList_->show();
  dropButton_->show();
}

void CPage1::ShowWords() {
  bankList_->hide();
  dropButton_->hide();
  wordList_->show();
  Refresh();
  bankLabel_->setText(Ui("当前词库: ") + FromGbk(currentBank_));
}

void CPage1::ShowBank(const std::string& bank) {
  currentBank_ = bank;
  ShowWords();
}

void CPage1::OpenBank(int row) {
  // A double click below the last row names no bank: making an empty name
  // the current bank would only fail every search.
  if (row < 0 || row >= bankModel_.rowCount()) return;
  currentBank_ = TruncateGbk(bankModel_.Name(row), kWordCapacity);
  ShowWords();
}

void CPage1::DropBanks() {
  QItemSelectionModel* selection = bankList_->selectionModel();
  for (int row = 0; selection && row < bankModel_.rowCount(); ++row) {
    if (!selection->isRowSelected(row, QModelIndex())) continue;
    if (DropBank(db_, TruncateGbk(bankModel_.Name(row), kWordCapacity), currentBank_, boxes_)) ShowBanks();
  }
}

void CPage1::AddWords() {
  CInsertDlg dialog(*ops_.files, this);
  if (dialog.exec() != QDialog::Accepted) return;
  ConvertWords(dialog.Request(), db_, currentBank_, pool_, boxes_);
}

std::vector<int> CPage1::TargetRows() const {
  std::vector<int> rows;
  QItemSelectionModel* selection = wordList_->selectionModel();
  for (int row = 0; row < wordModel_.rowCount(); ++row) {
    bool selected = selection && selection->isRowSelected(row, QModelIndex());
    if (selected || wordModel_.IsChecked(row)) rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> CPage1::TargetWords(size_t capacity) const {
  std::vector<std::string> words;
  for (int row : TargetRows()) words.push_back(TruncateGbk(wordModel_.CellText(row, kColValue), capacity));
  return words;
}

void CPage1::RunBatch() {
  switch (batchCombo_->currentIndex()) {
    case kBatchNone:
      boxes_.Show(BoxKind::PlainOkCancel, Gbk("选择您所需要的批量操作"));
      return;
    case kBatchLookup:
      for (const auto& word : TargetWords(kLookupWordCapacity)) {
        // A task that cannot be made (a bank name too long for it) is lost.
        if (TranslationTask* task = MakeTranslationTask(word, 1, &db_, currentBank_))
          pool_.Submit(LookupWordTask, task);
      }
      break;
    case kBatchHot:
      SetHot(db_, currentBank_, TargetWords(kWordCapacity), ToGbk(batchHot_->text()), boxes_);
      break;
    case kBatchKnown: {
      // Marked and logged, so the 统计 tab can show progress over time.
      int64_t now = QDateTime::currentSecsSinceEpoch();
      ReviewStore(db_, LocalUtcOffset(now)).MarkKnownAndLog(currentBank_, TargetWords(kWordCapacity), now);
      break;
    }
    case kBatchDelete:
      DeleteWords(db_, currentBank_, TargetWords(kWordCapacity), boxes_);
      break;
    case kBatchRecite: {
      std::vector<RecitationCells> rows;
      for (int row : TargetRows()) {
        RecitationCells cells;
        for (int c = 1; c <= 6; ++c) cells[static_cast<size_t>(c - 1)] = wordModel_.CellText(row, c);
        rows.push_back(std::move(cells));
      }
      AddToRecitationList(db_, rows, boxes_, [this] { PostRecitationListChanged(recitationPage_, recitationList_); });
      break;
    }
    default:
      break;
  }
  Refresh();
}

void CPage1::OnBatchChoice(int index) { batchHot_->setVisible(index == kBatchHot); }

void CPage1::keyPressEvent(QKeyEvent* event) {
  // Enter anywhere on the page searches, as the page's OK.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & ~Qt::KeypadModifier)) {
    Refresh();
    return;
  }
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

}  // namespace quorvo
