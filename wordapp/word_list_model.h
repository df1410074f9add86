// The two lists of the word-bank page as table models.
//
// WordListModel holds the rows of the last search: eight columns ("编号",
// "单词", "音标", "释义", "例句", "会背", "热度", "考试"), a check box in column 0, the
// texts kept as the GBK bytes the database gave and turned into UTF-8 only
// when a cell is drawn, so filling 100,000 rows costs one copy per cell and
// one model reset. BankListModel holds the bank names ("编号", "词库").
//
// Both belong to the window thread.
#pragma once

#include <QAbstractTableModel>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "lexicon/lexicon.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/word_database.h"
#include "wordstore/word_forms.h"

namespace quorvo {

// One word-list row as the list shows it (GBK texts).
struct WordRow {
  std::string word;                                                          // column 1, the value column
  std::string phonetic;                                                      // column 2
  std::string trans;                                                         // column 3
  std::string hot;                                                           // column 6, as stored
  enum class Known : unsigned char { Unset, No, Yes } known = Known::Unset;  // column 5: "" / "不会" / "会"
  bool checked = false;
  ExamSet exams = 0;  // column 7 ("考试"): the word's exams, or its family base's
};

class WordListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kColumnCount = 8;
  static constexpr int kColExams = 7;
  // Title and width in pixels of each column; a width of 0 hides it.
  static const char* const kTitles[kColumnCount];
  static const int kWidths[kColumnCount];

  using QAbstractTableModel::QAbstractTableModel;

  // The word-list row sink: appends result row `row` to rows the way the
  // list shows it (columns 1, 2, 3 and 6 as text, column 5 as "不会" when
  // the text is exactly "0" and "会" otherwise, the others empty).
  static void AppendRow(std::vector<WordRow>& rows, const RowView& row);
  // The exams of a word for the "考试" column: its own lists, or its family
  // base's when it is a form in none.
  static ExamSet ExamsOfWord(const Lexicon* lexicon, std::string_view word);
  // "CET-4 CET-6" (UTF-8): the exams of a set, in their order.
  static std::string ExamNames(ExamSet exams);
  // Replaces every row in one model reset; sentences are the bank's kept
  // sentences by word (column 4 shows a word's first, its tooltip all).
  void Reset(std::vector<WordRow> rows, std::unordered_map<std::string, std::vector<KeptSentence>> sentences = {});
  // The forms counted under each word of the bank (word families): the
  // word's cell shows them as its tooltip ("词形：runs 2、ran 1").
  void SetForms(std::map<std::string, std::vector<WordForm>> forms) { forms_ = std::move(forms); }
  // A row's forms as its tooltip lists them ("runs 2、ran 1", GBK), or empty.
  std::string FormsCell(int row) const;
  // True when a row has a phonetic: the page then shows the "音标" column.
  bool HasPhonetics() const { return hasPhonetics_; }
  // True when a row has a sentence: the page then shows the "例句" column.
  bool HasSentences() const { return hasSentences_; }
  // The kept sentences of a row's word (none: empty).
  const std::vector<KeptSentence>& Sentences(int row) const;

  const WordRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  // The GBK text of a cell as the list shows it (column 0: the row number).
  std::string CellText(int row, int column) const;
  bool IsChecked(int row) const { return rows_[static_cast<size_t>(row)].checked; }
  void SetChecked(int row, bool checked);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<WordRow> rows_;
  std::unordered_map<std::string, std::vector<KeptSentence>> sentences_;
  std::map<std::string, std::vector<WordForm>> forms_;
  bool hasPhonetics_ = false;
  bool hasSentences_ = false;
};

class BankListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kColumnCount = 2;
  static const char* const kTitles[kColumnCount];
  static const int kWidths[kColumnCount];

  using QAbstractTableModel::QAbstractTableModel;

  void Reset(std::vector<std::string> names);
  const std::string& Name(int row) const { return names_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<std::string> names_;  // GBK
};

}  // namespace quorvo
