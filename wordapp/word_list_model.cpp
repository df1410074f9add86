#include "wordapp/word_list_model.h"

#include "base/code_page.h"
#include "wordstore/texts.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

QString Shown(const std::string& gbk) { return QString::fromStdString(Utf8(gbk)); }

// Senses of a translation are separated by line breaks; a list row is one
// line, so they are shown side by side there (the tooltip shows them whole).
QString OneLine(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("  "));
  text.replace(QLatin1Char('\n'), QLatin1String("  "));
  text.replace(QLatin1Char('\r'), QLatin1String("  "));
  return text;
}

}  // namespace

const char* const WordListModel::kTitles[kColumnCount] = {"编号", "单词", "音标", "释义",
                                                          "例句", "会背", "热度", "考试"};
// Wide enough for row 100,000 with its check box and for the largest hot value;
// a word of two or three exams fits "考试", more show in its tooltip.
const int WordListModel::kWidths[kColumnCount] = {96, 120, 0, 294, 0, 70, 120, 110};

ExamSet WordListModel::ExamsOfWord(const Lexicon* lexicon, std::string_view word) {
  if (!lexicon) return 0;
  ExamSet exams = lexicon->ExamsOf(word);
  return exams != 0 ? exams : lexicon->ExamsOf(lexicon->BaseOf(word));
}

std::string WordListModel::ExamNames(ExamSet exams) {
  std::string names;
  for (Exam exam : kAllExams) {
    if (!HasExam(exams, exam)) continue;
    if (!names.empty()) names += ' ';
    names += ExamName(exam);
  }
  return names;
}

void WordListModel::AppendRow(std::vector<WordRow>& rows, const RowView& row) {
  WordRow& r = rows.emplace_back();
  auto text = [&](int column) {
    const char* t = row.Text(column);
    return t ? std::string(t) : std::string();
  };
  for (int c = 1; c < row.ColumnCount() && c < kColumnCount; ++c) {
    switch (c) {
      case kColValue:
        r.word = text(c);
        break;
      case kColPhonetic:
        r.phonetic = text(c);
        break;
      case kColTrans:
        r.trans = text(c);
        break;
      case kColHot:
        r.hot = text(c);
        break;
      case kColKnown: {
        const char* t = row.Text(c);
        r.known = t && std::string_view(t) == "0" ? WordRow::Known::No : WordRow::Known::Yes;
        break;
      }
      default:
        break;
    }
  }
}

void WordListModel::Reset(std::vector<WordRow> rows,
                          std::unordered_map<std::string, std::vector<KeptSentence>> sentences) {
  beginResetModel();
  rows_ = std::move(rows);
  sentences_ = std::move(sentences);
  hasSentences_ = false;
  for (const WordRow& r : rows_) {
    if (sentences_.count(r.word)) {
      hasSentences_ = true;
      break;
    }
  }
  hasPhonetics_ = false;
  for (const WordRow& r : rows_) {
    if (!r.phonetic.empty()) {
      hasPhonetics_ = true;
      break;
    }
  }
  endResetModel();
}

std::string WordListModel::CellText(int row, int column) const {
  const WordRow& r = Row(row);
  switch (column) {
    case 0:
      return std::to_string(row + 1);
    case kColValue:
      return r.word;
    case kColPhonetic:
      return r.phonetic;
    case kColTrans:
      return r.trans;
    case kColHot:
      return r.hot;
    case kColKnown:
      if (r.known == WordRow::Known::Unset) return {};
      return Gbk(r.known == WordRow::Known::No ? texts::kUnknownShown : texts::kKnownShown);
    case kColExams:
      return Gbk(ExamNames(r.exams));
    default:
      return {};
  }
}

const std::vector<KeptSentence>& WordListModel::Sentences(int row) const {
  static const std::vector<KeptSentence> kNone;
  auto found = sentences_.find(Row(row).word);
  return found == sentences_.end() ? kNone : found->second;
}

void WordListModel::SetChecked(int row, bool checked) {
  rows_[static_cast<size_t>(row)].checked = checked;
  QModelIndex cell = index(row, 0);
  emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

int WordListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int WordListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant WordListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  int column = index.column();
  if (role == Qt::CheckStateRole && column == 0) return IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::DisplayRole) {
    if (column == 0) return index.row() + 1;
    if (column == kColTrans) return OneLine(Shown(Row(index.row()).trans));
    // The sentence cell itself stays empty (it is what a copy to the
    // recitation list writes); the column shows the first kept sentence.
    if (column == kColSentenceId) {
      const std::vector<KeptSentence>& kept = Sentences(index.row());
      return kept.empty() ? QString() : Shown(kept.front().text);
    }
    if (column == kColExams) return QString::fromStdString(ExamNames(Row(index.row()).exams));
    return Shown(CellText(index.row(), column));
  }
  if (role == Qt::ToolTipRole && column == kColSentenceId && !Sentences(index.row()).empty()) {
    QStringList lines;
    for (const KeptSentence& s : Sentences(index.row()))
      lines << Shown(s.text) + QStringLiteral("  ——") + (s.bundled ? QStringLiteral("词典例句") : Shown(s.source));
    return lines.join(QLatin1Char('\n'));
  }
  if (role == Qt::ToolTipRole && column == kColTrans && !Row(index.row()).trans.empty())
    return Shown(Row(index.row()).trans);
  if (role == Qt::ToolTipRole && column == kColExams && Row(index.row()).exams != 0)
    return QString::fromStdString(ExamNames(Row(index.row()).exams));
  if (role == Qt::ToolTipRole && column == kColValue) {
    auto found = forms_.find(Row(index.row()).word);
    if (found != forms_.end()) return QString::fromStdString("词形：" + FormsText(found->second));
  }
  return {};
}

std::string WordListModel::FormsCell(int row) const {
  auto found = forms_.find(Row(row).word);
  return found == forms_.end() ? std::string() : Gbk(FormsText(found->second));
}

bool WordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
  SetChecked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags WordListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant WordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumnCount)
    return QString::fromUtf8(kTitles[section]);
  return {};
}

const char* const BankListModel::kTitles[kColumnCount] = {"编号", "词库"};
const int BankListModel::kWidths[kColumnCount] = {70, 400};

void BankListModel::Reset(std::vector<std::string> names) {
  beginResetModel();
  names_ = std::move(names);
  endResetModel();
}

int BankListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

int BankListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant BankListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  if (index.column() == 0) return index.row() + 1;
  return Shown(Name(index.row()));
}

QVariant BankListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumnCount)
    return QString::fromUtf8(kTitles[section]);
  return {};
}

}  // namespace quorvo
