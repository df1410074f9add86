#include "wordapp/page1.h"

#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <algorithm>
#include <map>
#include <thread>
#include <unordered_set>

#include "base/code_page.h"
#include "lookup/convert_words.h"
#include "lookup/exam_import.h"
#include "lookup/family_merge.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "review/review_store.h"
#include "startup/app_layout.h"
#include "update/ini_file.h"
#include "wordapp/dialog_units.h"
#include "wordapp/import_dlg.h"
#include "wordapp/insert_dlg.h"
#include "wordapp/page1_controls.h"
#include "wordapp/recitation_event.h"
#include "wordapp/run_summary.h"
#include "wordapp/window_thread_boxes.h"
#include "wordstore/word_export.h"
#include "wordstore/word_forms.h"
#include "wordstore/word_import.h"
#include "wordstore/word_sentences.h"
#include "wordstore/write_failure.h"

namespace quorvo {
namespace {

// Where config.ini keeps the learner's "合并词形".
constexpr char kOptionsSection[] = "options";
constexpr char kFamiliesKey[] = "families";

#ifndef QUORVO_CONTACT_ADDRESS
#error "QUORVO_CONTACT_ADDRESS is set by wordapp/CMakeLists.txt"
#endif
// The build's contact address; empty: the contact line is not shown.
constexpr char kContactAddress[] = QUORVO_CONTACT_ADDRESS;
// Bank names and words are read back from the lists with a 56-byte
// capacity; "更新释义" reads words with 128 bytes.
constexpr size_t kWordCapacity = 55;
constexpr size_t kLookupWordCapacity = 127;
// Width of the "音标" column while it is shown.
constexpr int kPhoneticWidth = 140;
constexpr int kSentenceWidth = 160;
// A write that meets a held file tries again this often; each try waits
// this long for the file, so the window never stops answering for longer.
constexpr int kHeldRetryMs = 500;
constexpr int kTryBusyMs = 250;

QString FromGbk(const std::string& gbk) { return QString::fromStdString(Utf8(gbk)); }

// "单词总数: 62,902"; a read that failed part-way says so, instead of
// passing for a bank that is empty or short. (A statement the file rejects
// has had its own message: the count is 0.)
QString CountText(int count, const Status& read) {
  if (read.ok() || read.code() == StatusCode::kRejected) return Ui("单词总数: %1").arg(Grouped(count));
  return Ui("单词总数: 读取失败（%1）").arg(QString::fromStdString(CauseText(read)));
}
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
  progressTimer_.stop();
  // Closing mid-run: the lookups still queued end without fetching.
  for (const auto& weak : runs_)
    if (auto run = weak.lock()) run->Cancel();
  // No lookup may write through a closed connection.
  pool_.Shutdown();
  db_.Close();
}

void CPage1::BuildControls() {
  using namespace page1_controls;
  resize(DialogRect(0, 0, 540, 330).size());

  // Group boxes first, so the controls inside them lie above their frames.
  auto group = [this](const char* title, int x, int y, int w, int h) {
    auto* box = new QGroupBox(Ui(title), this);
    PlaceAt(box, x, y, w, h);
  };
  group("信息栏", 4, 228, 112, 83);
  group(" 搜索框", 120, 229, 176, 83);
  group("单词管理", 300, 229, 110, 84);
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
  wordList_->setObjectName(QString::number(kWordList));
  PlaceAt(wordList_, 0, 0, 535, 224);
  bankList_ = new QTableView(this);
  bankList_->setObjectName(QString::number(kBankList));
  PlaceAt(bankList_, 0, 0, 535, 224);

  countLabel_ = label("单词总数:", kWordCount, 9, 254, 73, 8);
  countText_ = countLabel_->text();
  bankLabel_ = label("当前词库:main_word", kCurrentBank, 9, 273, 105, 8);
  infoLabel_ = label("可以进行转换", kInfo, 9, 292, 105, 8);

  label("所含单词：", 0, 124, 247, 54, 8);
  searchText_ = new QLineEdit(this);
  searchText_->setObjectName(QString::number(kSearchText));
  searchText_->setMaxLength(512);
  PlaceAt(searchText_, 182, 245, 108, 14);
  label("热度范围：", 0, 124, 269, 57, 8);
  lowestHot_ = DigitsEdit(this);
  lowestHot_->setObjectName(QString::number(kLowestHot));
  PlaceAt(lowestHot_, 182, 267, 22, 14);
  label("~", 0, 213, 270, 8, 8);
  highestHot_ = DigitsEdit(this);
  highestHot_->setObjectName(QString::number(kHighestHot));
  PlaceAt(highestHot_, 226, 267, 22, 14);
  knownCombo_ = combo(kKnownFilter, true, 124, 292, 44);
  examCombo_ = combo(kExamFilter, true, 170, 292, 44);
  orderCombo_ = combo(kHotOrder, true, 216, 292, 52);
  connect(button("搜索", kSearch, 270, 291, 30, 14), &QPushButton::clicked, this, &CPage1::Refresh);
  connect(button("导出", kExport, 250, 267, 24, 14), &QPushButton::clicked, this, &CPage1::Export);
  connect(button("导入", kImport, 275, 267, 24, 14), &QPushButton::clicked, this, &CPage1::Import);

  connect(button("添加新单词", kAddWords, 304, 242, 50, 14), &QPushButton::clicked, this, &CPage1::AddWords);
  batchCombo_ = combo(kBatchOperation, false, 304, 265, 102);
  // The value for "更新热度", with its label, beside "添加新单词".
  batchHotLabel_ = label("热度:", 0, 358, 245, 22, 8);
  batchHot_ = DigitsEdit(this);
  batchHot_->setObjectName(QString::number(kBatchHotValue));
  PlaceAt(batchHot_, 381, 242, 25, 14);
  batchHotLabel_->setBuddy(batchHot_);
  batchHotLabel_->hide();
  batchHot_->hide();
  connect(button("确定更新", kApplyBatch, 330, 291, 50, 14), &QPushButton::clicked, this, &CPage1::RunBatch);

  connect(button("默认词库", kMainWordBank, 430, 239, 58, 14), &QPushButton::clicked, this,
          [this] { ShowBank(kMainWord); });
  connect(button("查看背诵列表", kRecitationList, 430, 257, 58, 14), &QPushButton::clicked, this,
          [this] { ShowBank(recitationList_); });
  connect(button("查看词典列表", kShowBanks, 430, 275, 58, 14), &QPushButton::clicked, this, &CPage1::ShowBanks);
  dropButton_ = button("删除词典", kDropBanks, 430, 293, 58, 14);
  dropButton_->hide();
  connect(dropButton_, &QPushButton::clicked, this, &CPage1::DropBanks);

  contactLine_ = new QLineEdit(this);
  contactLine_->setObjectName(QString::number(kContact));
  contactLine_->setReadOnly(true);
  PlaceAt(contactLine_, 200, 314, 300, 14);

  // While a write waits for a file another program holds.
  cancelWait_ = button("取消等待", kCancelWait, 62, 300, 50, 11);
  cancelWait_->hide();
  connect(cancelWait_, &QPushButton::clicked, this, &CPage1::CancelWrite);
  planButton_ = button("加入背诵列表", kPlanWords, 9, 314, 110, 13);
  planButton_->hide();
  connect(planButton_, &QPushButton::clicked, this, &CPage1::AddPlanWords);
  banner_ = label("", kBanner, 4, 316, 192, 8);
  banner_->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0)"));
  banner_->hide();

  // A double click on a column header of either list, whatever the state of
  // the database, asks for a database to be opened.
  for (QTableView* view : {wordList_, bankList_})
    connect(view->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this] { boxes_.Show(BoxKind::Plain, Gbk("请先选择需要打开的数据库")); });
  connect(bankList_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) OpenBank(index.row());
  });
  connect(batchCombo_, &QComboBox::currentIndexChanged, this, &CPage1::OnBatchChoice);
  progressTimer_.setInterval(kProgressIntervalMs);
  connect(&progressTimer_, &QTimer::timeout, this, &CPage1::OnProgressTick);
  writeRetry_.setSingleShot(true);
  writeRetry_.setInterval(kHeldRetryMs);
  connect(&writeRetry_, &QTimer::timeout, this, &CPage1::TryPendingWrite);
}

void CPage1::OnInitDialog() {
  // A file the learner may not write (or another program's) is opened for
  // reading only, and says so.
  bool readOnly = !ops_.readOnlyBanner.isEmpty();
  if (readOnly) {
    banner_->setText(ops_.readOnlyBanner);
    banner_->setToolTip(ops_.readOnlyBanner);
    banner_->show();
  }
  if (readOnly ? db_.OpenReadOnly(BankFile()) : db_.Open(BankFile())) {
    SetUpWordList();
    std::vector<WordRow> rows;
    Status read;
    db_.QueryRows(
        SelectAllStatement(kMainWord), [&rows](int, const RowView& row) { WordListModel::AppendRow(rows, row); },
        &read);
    MarkExams(rows, 0);
    wordModel_.SetForms(LoadWordForms(db_, kMainWord));
    wordModel_.Reset(std::move(rows), BankSentences(db_, kMainWord));
    countText_ = CountText(wordModel_.rowCount(), read);
    SetUpBankList();
    bankList_->hide();
    bankList_->setGeometry(wordList_->geometry());
    ShowCountText();
  }
  FillCombos();
  wordList_->setToolTip(Ui("可以加入背诵列表中哦"));
  bankList_->setToolTip(Ui("双击打开词典"));
  StartUpdateCheck();
  if (kContactAddress[0] != '\0') {
    contactLine_->setText(Ui("您如果有好的建议或者用的不爽，请发邮件: ") + QString::fromLatin1(kContactAddress));
    contactLine_->setCursorPosition(0);
  } else {
    contactLine_->hide();
  }
  UpdateWritingActions();
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
  // The columns take their width from "释义", so the list keeps its width;
  // with both shown each gets less, so that "释义" keeps a third of it.
  bool shown = wordModel_.HasPhonetics();
  bool sentences = wordModel_.HasSentences();
  const int phonetic = sentences ? kPhoneticWidth * 5 / 8 : kPhoneticWidth;
  const int sentence = shown ? kSentenceWidth * 5 / 8 : kSentenceWidth;
  if (shown) wordList_->setColumnWidth(kColPhonetic, phonetic);
  wordList_->setColumnHidden(kColPhonetic, !shown);
  if (sentences) wordList_->setColumnWidth(kColSentenceId, sentence);
  wordList_->setColumnHidden(kColSentenceId, !sentences);
  wordList_->setColumnWidth(kColTrans,
                            WordListModel::kWidths[kColTrans] - (shown ? phonetic : 0) - (sentences ? sentence : 0));
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
  fill(batchCombo_, {"批量操作", "更新释义", "更新热度", "会背", "删除单词", "添加到背诵列表", "重新查询未找到的单词",
                     "导入考试词表", "合并词形"});
  fill(knownCombo_, {"全部", "会背", "不会背"});
  examCombo_->addItem(Ui("考试"));
  for (Exam exam : kAllExams) examCombo_->addItem(QString::fromUtf8(ExamName(exam)));
  examCombo_->setCurrentIndex(0);
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

bool CPage1::MarkExams(std::vector<WordRow>& rows, ExamSet only) const {
  for (WordRow& row : rows) row.exams = WordListModel::ExamsOfWord(ops_.lexicon, row.word);
  if (only == 0) return false;
  std::erase_if(rows, [only](const WordRow& row) { return (row.exams & only) == 0; });
  return true;
}

void CPage1::ImportExam() {
  if (!ops_.lexicon) {
    boxes_.Show(BoxKind::Application, Gbk("没有找到考试词表（quorvo-lexicon.tsv），无法导入。"));
    return;
  }
  QInputDialog chooser(this);
  chooser.setObjectName(QString::fromLatin1(kExamChooserName));
  chooser.setWindowTitle(Ui("导入考试词表"));
  chooser.setLabelText(Ui("选择考试，它的词表会成为一个新词库（释义和音标取自自带词典）："));
  QStringList exams;
  for (Exam exam : kAllExams) exams << QString::fromUtf8(ExamName(exam));
  chooser.setComboBoxItems(exams);
  chooser.setComboBoxEditable(false);
  if (chooser.exec() != QDialog::Accepted) return;
  qsizetype chosen = exams.indexOf(chooser.textValue());
  if (chosen < 0) return;
  Exam exam = kAllExams[static_cast<size_t>(chosen)];
  if (!dictionary_) {
    auto loaded = std::make_unique<dictd::Dictionary>();
    if (ops_.dictData.empty() || !loaded->Load(ops_.dictData)) {
      boxes_.Show(BoxKind::Application, Gbk("自带词典（quorvo-dict.tsv）读不出来，无法导入。"));
      return;
    }
    dictionary_ = std::move(loaded);
  }
  auto done = std::make_shared<ExamImport>();
  const ExampleSentences* examples = ops_.examples ? ops_.examples() : nullptr;
  StartWrite(
      [this, exam, done, examples] {
        return ImportExamList(db_, *ops_.lexicon, *dictionary_, exam, boxes_, done.get(), examples);
      },
      [this, exam, done](const Status& outcome) {
        ShowWriteFailure(outcome);
        if (!outcome.ok()) return;
        ShowBank(ExamBankName(exam));
        boxes_.Show(BoxKind::Application, ToGbk(Ui("已导入 %1 词表：%2 个单词，其中 %3 个有释义。")
                                                    .arg(QString::fromUtf8(ExamName(exam)), Grouped(done->words),
                                                         Grouped(done->translated))));
      });
}

void CPage1::AddPlanWords() {
  if (planCells_.empty()) return;
  StartWrite(
      [this, rows = planCells_] {
        return AddToRecitationList(db_, rows, boxes_,
                                   [this] { PostRecitationListChanged(recitationPage_, recitationList_); });
      },
      [this](const Status& outcome) {
        ShowWriteFailure(outcome);
        // Added (or refused by the list, which said why): the plan is spent.
        if (outcome.ok()) {
          planCells_.clear();
          planButton_->hide();
        }
        Refresh();
      });
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
  Status read;
  int count = db_.QueryRows(
      BuildSearchStatement(currentBank_, FilterFromControls()),
      [&rows](int, const RowView& row) { WordListModel::AppendRow(rows, row); }, &read);
  // The exam filter keeps the rows of one exam's list (the list is read
  // whole by the search; the lexicon answers in memory).
  int exam = examCombo_->currentIndex() - 1;
  if (MarkExams(rows, exam >= 0 ? ExamBit(kAllExams[static_cast<size_t>(exam)]) : 0))
    count = static_cast<int>(rows.size());
  wordModel_.SetForms(LoadWordForms(db_, currentBank_));
  wordModel_.Reset(std::move(rows), BankSentences(db_, currentBank_));
  countText_ = CountText(count, read);
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
    std::string name = TruncateGbk(bankModel_.Name(row), kWordCapacity);
    // A bank that would go asks first; the refusals speak for themselves.
    if (name != currentBank_ && name.find(kMainWord) == std::string::npos) {
      QString question = Ui("确定要删除词库“%1”吗？其中的 %2 个单词会一起删除，无法恢复。")
                             .arg(FromGbk(name), Grouped(std::max(0, CountWords(db_, name))));
      if (boxes_.Show(BoxKind::PlainOkCancel, ToGbk(question)) != kBoxOk) continue;
    }
    StartWrite([this, name] { return DropBank(db_, name, currentBank_, boxes_); },
               [this](const Status& dropped) {
                 ShowWriteFailure(dropped);
                 if (dropped.ok()) ShowBanks();
               });
    return;  // one list row at a time can be selected
  }
}

bool CPage1::CheckDictionary() {
  if (!ops_.keepDictionary || ops_.keepDictionary()) return true;
  boxes_.Show(BoxKind::Application,
              Gbk("词典服务没有响应，重新启动也没有成功。查不到的单词会记为未找到（已有的释义不会被覆盖），"
                  "可以稍后用“重新查询未找到的单词”再试。"));
  return false;
}

void CPage1::AddWords() {
  // As the file compares names: "Main_Word" is main_word, and the
  // recitation list is a bank that exists too.
  auto bankExists = [this](const std::string& name) { return BankExists(db_, name); };
  CInsertDlg dialog(*ops_.files, this, &boxes_, bankExists);
  bool families = !ops_.configFile.empty() && ReadIniInt(ops_.configFile, kOptionsSection, kFamiliesKey, 0) == 1;
  dialog.SetFamilies(families);
  if (dialog.exec() != QDialog::Accepted) return;
  const AddWordsRequest& request = dialog.Request();
  if (request.families != families && !ops_.configFile.empty() &&
      !WriteIniString(ops_.configFile, kOptionsSection, kFamiliesKey, request.families ? "1" : "0"))
    boxes_.Show(BoxKind::Application,
                Gbk("“合并词形”的选择没有保存（config.ini 无法写入），这次照样使用，下次打开时还是原来的选择。"));
  bool answers = (request.sources & (SourceFile | SourceText)) ? CheckDictionary() : true;
  ConvertOptions options;
  if (answers) options.dictionaryKeeper = ops_.keepDictionary;
  options.lexicon = ops_.lexicon;
  options.examples = ops_.examples;
  ConvertSummary summary = ConvertWords(request, db_, currentBank_, pool_, boxes_, options);
  if (!summary.failure.ok()) {
    ShowWriteFailure(summary.failure);
    return;
  }
  if (!summary.counted || !summary.run) return;
  // The words are looked up all the same; the learner learns that their
  // sentences are not kept, and why.
  if (!summary.sentences.ok()) boxes_.Show(BoxKind::Application, Gbk("例句没有保存：" + CauseText(summary.sentences)));
  runPlan_ = PlanReading(summary.words, ops_.lexicon);
  FollowRun(summary.run, RunKind::AddWords, summary.bank, summary.distinct, summary.known, !answers);
}

void CPage1::LookUp(const std::vector<LookupRun::UnstoredWord>& words) {
  bool answers = CheckDictionary();
  auto run = std::make_shared<LookupRun>(static_cast<int>(words.size()));
  if (answers && ops_.keepDictionary) run->SetKeeper(ops_.keepDictionary);
  for (const auto& word : words) {
    // A task that cannot be made (a bank name too long for it) is lost.
    TranslationTask* task = MakeTranslationTask(word.word, word.hot, &db_, currentBank_, run);
    if (task)
      pool_.Submit(LookupWordTask, task, ReleaseTranslationTask);
    else
      run->TaskDone();
  }
  FollowRun(run, RunKind::Batch, currentBank_, 0, 0, !answers);
}

void CPage1::FollowRun(std::shared_ptr<LookupRun> run, RunKind kind, const std::string& bank, int distinct, int known,
                       bool dictionaryWarned) {
  // A run started while another goes replaces it in the info box; the
  // earlier one still stores its words.
  runs_.erase(std::remove_if(runs_.begin(), runs_.end(), [](const auto& weak) { return weak.expired(); }), runs_.end());
  runs_.push_back(run);
  // The last lookup wakes the page, which then ends the run without waiting
  // for the next tick. The workers are joined before the page goes, so the
  // call never outlives it.
  if (run)
    run->SetOnFinished([this] { QMetaObject::invokeMethod(this, &CPage1::OnProgressTick, Qt::QueuedConnection); });
  run_ = std::move(run);
  runKind_ = kind;
  runBank_ = bank;
  runDistinct_ = distinct;
  runKnown_ = known;
  runDictionaryWarned_ = dictionaryWarned;
  OnProgressTick();
  if (run_) progressTimer_.start();
}

void CPage1::OnProgressTick() {
  if (!run_) {
    progressTimer_.stop();
    return;
  }
  if (run_->Finished()) {
    FinishRun();
    return;
  }
  if (progressShown_)
    infoLabel_->setText(run_->WaitingForFile() ? Ui("等待词库文件…") : ProgressText(run_->Done(), run_->Total()));
}

void CPage1::FinishRun() {
  progressTimer_.stop();
  std::shared_ptr<LookupRun> run = std::move(run_);
  run_.reset();
  infoLabel_->setText(Ui("查询完毕：新增 %1 个").arg(Grouped(run->Added())));
  RunCounts counts;
  counts.added = run->Added();
  counts.translated = run->Translated();
  counts.notFound = run->NotFound();
  counts.kept = run->Kept();
  counts.unreachable = run->Unreachable();
  counts.unreachableHost = QString::fromStdString(run->UnreachableHost());
  if (runKind_ == RunKind::AddWords) {
    counts.distinct = runDistinct_;
    counts.known = runKnown_;
    counts.planWords = static_cast<int>(runPlan_.words.size());
    counts.planTarget = runPlan_.target;
  }
  std::vector<LookupRun::UnstoredWord> unstored = run->Unstored();
  if (!unstored.empty()) {
    counts.unstored = static_cast<int>(unstored.size());
    counts.unstoredCause = QString::fromStdString(CauseText(run->Failure()));
    QStringList sample;
    for (size_t i = 0; i < unstored.size() && i < 5; ++i) sample << FromGbk(unstored[i].word);
    counts.unstoredSample = sample.join(Ui("、")) + (unstored.size() > 5 ? Ui("等") : QString());
    auto& kept = unstored_[runBank_];
    kept.insert(kept.end(), unstored.begin(), unstored.end());
  }
  QString summary = SummaryText(counts);
  infoLabel_->setToolTip(summary);
  // The list first, so the words are there behind the summary: all of the
  // filled bank, whatever the search box held before.
  if (runKind_ == RunKind::AddWords) {
    ClearFilter();
    ShowBank(runBank_);
    // The plan's words as the filled bank holds them, for kPlanWords.
    planCells_.clear();
    std::unordered_set<std::string> plan(runPlan_.words.begin(), runPlan_.words.end());
    std::map<std::string, RecitationCells> byWord;
    for (int row = 0; row < wordModel_.rowCount(); ++row) {
      if (!plan.count(wordModel_.CellText(row, kColValue))) continue;
      RecitationCells cells;
      for (int c = 1; c <= 6; ++c) cells[static_cast<size_t>(c - 1)] = wordModel_.CellText(row, c);
      byWord[cells[0]] = std::move(cells);
    }
    for (const std::string& word : runPlan_.words)
      if (auto found = byWord.find(word); found != byWord.end()) planCells_.push_back(found->second);
    planButton_->setText(Ui("加入背诵列表（%1 个）").arg(Grouped(static_cast<long long>(planCells_.size()))));
    planButton_->setToolTip(Ui("把覆盖率计划里的单词加入背诵列表"));
    planButton_->setVisible(!planCells_.empty());
  } else if (runBank_ == currentBank_ && wordList_->isVisible())
    Refresh();
  boxes_.Show(BoxKind::Application, ToGbk(summary));
  if (run->DictionaryLost() && !runDictionaryWarned_)
    boxes_.Show(BoxKind::Application,
                Gbk("词典服务中途停止，重新启动也没有成功。没查到的单词已记为未找到（已有的释义没有被覆盖），"
                    "可以稍后用“重新查询未找到的单词”再试。"));
}

void CPage1::Export() {
  if (!db_.IsOpen()) {
    boxes_.Show(BoxKind::Plain, Gbk("请先选择需要打开的数据库"));
    return;
  }
  QString path = ops_.files->SaveFile(this, Ui("CSV 表格 (*.csv);;Anki 文本 (*.txt);;Anki 牌组 (*.apkg)"),
                                      FromGbk(currentBank_) + QStringLiteral(".csv"));
  if (path.isEmpty()) return;
  std::vector<ExportRow> rows;
  rows.reserve(static_cast<size_t>(wordModel_.rowCount()));
  for (int row = 0; row < wordModel_.rowCount(); ++row) {
    const std::vector<KeptSentence>& sentences = wordModel_.Sentences(row);
    rows.push_back({wordModel_.CellText(row, kColValue), wordModel_.CellText(row, kColPhonetic),
                    wordModel_.CellText(row, kColTrans), wordModel_.CellText(row, kColKnown),
                    wordModel_.CellText(row, kColHot), sentences.empty() ? std::string() : sentences.front().text,
                    wordModel_.FormsCell(row)});
  }
  std::string file = QFile::encodeName(path).toStdString();
  Status written = WriteExport(file, rows, ExportFormatForName(file), currentBank_);
  if (written.ok()) {
    infoLabel_->setText(Ui("已导出 %1 个单词").arg(Grouped(static_cast<long long>(rows.size()))));
    return;
  }
  // The file is written beside its place and renamed over it only whole:
  // an earlier export stays as it was.
  QString cause = written.code() == StatusCode::kDiskFull   ? Ui("磁盘空间不足")
                  : written.code() == StatusCode::kReadOnly ? Ui("文件或文件夹不允许写入")
                                                            : QString::fromStdString(written.message());
  boxes_.Show(BoxKind::Application, ToGbk(Ui("无法写入文件：%1（%2），原有文件保持不变。").arg(path, cause)));
}

namespace {

// What an import did, for the info box's tooltip and the summary box.
QString ImportSummary(const std::string& bank, const ImportFile& file, const ImportCounts& counts) {
  QStringList lines;
  lines << Ui("导入完毕（词库“%1”%2）：新增 %3 个单词，更新 %4 个。")
               .arg(FromGbk(bank), counts.createdBank ? Ui("，新建") : QString())
               .arg(counts.added)
               .arg(counts.updated);
  if (file.duplicates) lines << Ui("文件中有 %1 行是重复的单词，以最后一行为准。").arg(file.duplicates);
  if (file.cut) lines << Ui("%1 行的内容超出列宽，已截断。").arg(file.cut);
  if (file.skipped) lines << Ui("%1 行没有单词，已跳过。").arg(file.skipped);
  if (!counts.untranslated.empty())
    lines << Ui("%1 个单词没有释义，正在联网查询。").arg(static_cast<long long>(counts.untranslated.size()));
  return lines.join(QStringLiteral("\n"));
}

}  // namespace

void CPage1::Import() {
  if (!db_.IsOpen()) {
    boxes_.Show(BoxKind::Plain, Gbk("请先选择需要打开的数据库"));
    return;
  }
  auto bankExists = [this](const std::string& name) { return BankExists(db_, name); };
  CImportDlg dialog(*ops_.files, currentBank_, boxes_, bankExists, this);
  if (dialog.exec() != QDialog::Accepted) return;
  auto read = ReadImportFile(dialog.FilePath());
  if (!read.ok()) {
    boxes_.Show(BoxKind::Application, ToGbk(Ui("无法导入 %1：%2。词库保持原样。")
                                                .arg(QFile::decodeName(QByteArray::fromStdString(dialog.FilePath())),
                                                     QString::fromStdString(read.status().message()))));
    return;
  }
  auto file = std::make_shared<ImportFile>(std::move(*read));
  auto counts = std::make_shared<ImportCounts>();
  const std::string bank = dialog.BankName();
  StartWrite(
      [this, bank, file, counts] {
        auto written = WriteImport(db_, bank, *file);
        if (!written.ok()) return written.status();
        *counts = std::move(*written);
        return Status::Ok();
      },
      [this, bank, file, counts](const Status& outcome) {
        if (outcome.code() == StatusCode::kRefused) {
          boxes_.Show(BoxKind::Application, Gbk(outcome.message()));
          return;
        }
        if (!outcome.ok()) {
          ShowWriteFailure(outcome);
          return;
        }
        // The filled bank, whole, behind the summary.
        ClearFilter();
        ShowBank(bank);
        QString summary = ImportSummary(bank, *file, *counts);
        infoLabel_->setText(Ui("导入完毕：新增 %1 个").arg(Grouped(counts->added)));
        infoLabel_->setToolTip(summary);
        boxes_.Show(BoxKind::Application, ToGbk(summary));
        if (counts->untranslated.empty()) return;
        std::vector<LookupRun::UnstoredWord> words;
        words.reserve(counts->untranslated.size());
        for (auto& [word, hot] : counts->untranslated) words.push_back({word, hot});
        LookUp(words);
      });
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
  // The batch's work is done (or given up) before the list is read again.
  auto afterWrite = [this](const Status& outcome) {
    ShowWriteFailure(outcome);
    Refresh();
  };
  const std::string bank = currentBank_;
  switch (batchCombo_->currentIndex()) {
    case kBatchNone:
      boxes_.Show(BoxKind::Plain, Gbk("选择您所需要的批量操作"));
      return;
    case kBatchImportExam:
      ImportExam();
      return;
    case kBatchMergeFamilies: {
      if (!ops_.lexicon) {
        boxes_.Show(BoxKind::Application, Gbk("没有找到词形表（quorvo-lexicon.tsv），无法合并。"));
        return;
      }
      // Planned against every row of the bank: a base row the filter hides
      // (or one not ticked) is the row the forms join.
      Result<std::vector<BankRow>> all = ReadBankRows(db_, bank);
      if (!all.ok()) {
        ShowWriteFailure(all.status());
        return;
      }
      std::vector<BankRow> ticked;
      for (int row : TargetRows())
        ticked.push_back({wordModel_.CellText(row, kColValue), LeadingDigitsValue(wordModel_.CellText(row, kColHot))});
      std::vector<FamilyMerge> merges = PlanFamilyMerges(ticked, *all, *ops_.lexicon);
      if (merges.empty()) {
        boxes_.Show(BoxKind::Application, Gbk("勾选的单词里没有可以合并的词形。"));
        return;
      }
      if (boxes_.Show(BoxKind::PlainOkCancel, Gbk("将合并以下单词（词形记在合并后的单词下）：\n" +
                                                  FamilyMergeText(merges) + "\n确定合并吗？")) != kBoxOk)
        return;
      StartWrite([this, bank, merges] { return ApplyFamilyMerges(db_, bank, merges); }, afterWrite);
      return;
    }
    case kBatchLookup: {
      std::vector<LookupRun::UnstoredWord> words;
      for (auto& word : TargetWords(kLookupWordCapacity)) words.push_back({std::move(word), 1});
      LookUp(words);
      break;
    }
    case kBatchRetry: {
      std::vector<LookupRun::UnstoredWord> words;
      for (auto& word : WordsWithTranslation(db_, bank, kNotFoundTranslation)) words.push_back({std::move(word), 1});
      // Words an earlier run could not store at all go again, with the hot
      // values they were to get.
      if (auto kept = unstored_.find(bank); kept != unstored_.end()) {
        words.insert(words.end(), kept->second.begin(), kept->second.end());
        unstored_.erase(kept);
      }
      if (words.empty())
        boxes_.Show(BoxKind::Application, Gbk("当前词库没有未找到释义的单词。"));
      else
        LookUp(words);
      break;
    }
    case kBatchHot:
      StartWrite([this, bank, words = TargetWords(kWordCapacity),
                  hot = ToGbk(batchHot_->text())] { return SetHot(db_, bank, words, hot, boxes_); },
                 afterWrite);
      return;
    case kBatchKnown:
      // Marked and logged, so the 统计 tab can show progress over time.
      StartWrite(
          [this, bank, words = TargetWords(kWordCapacity)] {
            int64_t now = ops_.NowSeconds();
            return ReviewStore(db_, LocalUtcOffset(now)).MarkKnownAndLog(bank, words, now);
          },
          afterWrite);
      return;
    case kBatchDelete:
      StartWrite([this, bank, words = TargetWords(kWordCapacity)] { return DeleteWords(db_, bank, words, boxes_); },
                 afterWrite);
      return;
    case kBatchRecite: {
      std::vector<RecitationCells> rows;
      for (int row : TargetRows()) {
        RecitationCells cells;
        for (int c = 1; c <= 6; ++c) cells[static_cast<size_t>(c - 1)] = wordModel_.CellText(row, c);
        rows.push_back(std::move(cells));
      }
      StartWrite(
          [this, rows = std::move(rows), bank = currentBank_] {
            return AddToRecitationList(
                db_, rows, boxes_, [this] { PostRecitationListChanged(recitationPage_, recitationList_); }, bank);
          },
          afterWrite);
      return;
    }
    default:
      break;
  }
  Refresh();
}

void CPage1::StartWrite(std::function<Status()> attempt, std::function<void(const Status&)> done) {
  if (pendingWrite_) return;  // the actions that write are disabled meanwhile
  pendingWrite_ = std::make_unique<PendingWrite>(
      PendingWrite{std::move(attempt), std::move(done), std::chrono::steady_clock::now() + heldWait_});
  TryPendingWrite();
}

void CPage1::TryPendingWrite() {
  if (!pendingWrite_) return;
  // A short wait for the file at each try: the window keeps answering.
  int busy = db_.BusyTimeout();
  db_.SetBusyTimeout(std::min(busy, kTryBusyMs));
  Status outcome = pendingWrite_->attempt();
  db_.SetBusyTimeout(busy);
  if (outcome.code() == StatusCode::kBusy && std::chrono::steady_clock::now() < pendingWrite_->giveUpAt) {
    infoLabel_->setText(Ui("等待词库文件…"));
    infoLabel_->setToolTip(Ui("另一个程序正在使用词库文件，quorvo 会一直重试，直到可以写入或你取消。"));
    cancelWait_->show();
    UpdateWritingActions();
    writeRetry_.start();
    return;
  }
  EndPendingWrite(outcome);
}

void CPage1::CancelWrite() {
  if (!pendingWrite_) return;
  writeRetry_.stop();
  EndPendingWrite(Status(StatusCode::kCancelled, "the learner stopped waiting"));
}

void CPage1::EndPendingWrite(const Status& outcome) {
  std::unique_ptr<PendingWrite> write = std::move(pendingWrite_);
  if (cancelWait_->isVisible()) {
    cancelWait_->hide();
    infoLabel_->setText(Ui(outcome.ok() ? "已写入词库" : "没有写入词库"));
    infoLabel_->setToolTip({});
  }
  UpdateWritingActions();
  write->done(outcome);
}

void CPage1::ShowWriteFailure(const Status& status) {
  if (status.ok() || status.code() == StatusCode::kRefused) return;
  boxes_.Show(BoxKind::Application, Gbk(NotSavedText(status)));
}

void CPage1::UpdateWritingActions() {
  using namespace page1_controls;
  bool writable = db_.IsOpen() && !db_.ReadOnly() && !pendingWrite_;
  for (int id : {kAddWords, kApplyBatch, kDropBanks, kImport})
    if (auto* control = findChild<QWidget*>(QString::number(id))) control->setEnabled(writable);
}

void CPage1::ClearFilter() {
  searchText_->clear();
  lowestHot_->clear();
  highestHot_->clear();
  knownCombo_->setCurrentIndex(0);
  examCombo_->setCurrentIndex(0);
}

std::vector<std::string> CPage1::FlushBeforeExit(std::chrono::steady_clock::time_point deadline) {
  progressTimer_.stop();
  if (pendingWrite_) CancelWrite();
  // The lookups still queued end without fetching; those under way are not
  // waited for: what they have not stored was never shown as stored.
  for (const auto& weak : runs_)
    if (auto run = weak.lock()) run->Cancel();
  if (!db_.IsOpen()) return {};
  db_.SetBusyTimeout(kTryBusyMs);
  while (!db_.CommitWriteGroup().ok() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!db_.WriteGroupOpen()) return {};
  return db_.AbandonWriteGroup(Status(StatusCode::kCancelled, "quorvo ended before the group could be written"));
}

void CPage1::OnBatchChoice(int index) {
  batchHot_->setVisible(index == kBatchHot);
  batchHotLabel_->setVisible(index == kBatchHot);
}

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
