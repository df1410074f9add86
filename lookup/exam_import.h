// ImportExamList: a bank made from one exam's word list ("导入考试词表"),
// every word with its translation and phonetic from the bundled dictionary
// (quorvo-dict.tsv read in memory; no network). Window thread, on the page's
// connection.
#pragma once

#include <string>

#include "base/message_boxes.h"
#include "base/status.h"
#include "dictserver/dictionary.h"
#include "lexicon/example_sentences.h"
#include "lexicon/lexicon.h"
#include "wordstore/word_database.h"

namespace quorvo {

// The bank's name for an exam: "exam_cet4".
std::string ExamBankName(Exam exam);

struct ExamImport {
  int words = 0;       // rows made
  int translated = 0;  // of them, with a translation from the dictionary
};

// Creates the bank and fills it in one batch: all of it or nothing. A word
// the dictionary does not know gets the not-found text, so that
// "重新查询未找到的单词" can try it later; hot is 1. A bank of that name that
// exists already is refused with a box (kRefused) and left as it is; a file
// that cannot be written says why and keeps nothing. With examples, every
// word that has one gets its bundled example in the same batch.
Status ImportExamList(WordDatabase& db, const Lexicon& lexicon, const dictd::Dictionary& dictionary, Exam exam,
                      MessageBoxes& boxes, ExamImport* done = nullptr, const ExampleSentences* examples = nullptr);

}  // namespace quorvo
