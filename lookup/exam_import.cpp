#include "lookup/exam_import.h"

#include "base/code_page.h"
#include "lookup/convert_words.h"
#include "lookup/translation_store.h"
#include "wordstore/word_bank.h"

namespace quorvo {

std::string ExamBankName(Exam exam) { return std::string("exam_") + ExamCode(exam); }

Status ImportExamList(WordDatabase& db, const Lexicon& lexicon, const dictd::Dictionary& dictionary, Exam exam,
                      MessageBoxes& boxes, ExamImport* done, const ExampleSentences* examples) {
  const std::string bank = ExamBankName(exam);
  if (BankExists(db, bank)) {
    boxes.Show(BoxKind::Application, Gbk("词库“" + bank + "”已经存在，没有再导入。要重新导入，请先删除这个词库。"));
    return Status(StatusCode::kRefused, "the bank exists");
  }
  ExamImport counts;
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  if (Status made = db.Run(CreateBankStatement(bank)); !made.ok()) return made;
  for (std::string_view word : lexicon.WordsOf(exam)) {
    std::vector<dictd::DictPart> parts = dictionary.PartsFor(word);
    std::string translation = kNotFoundTranslation;
    if (!parts.empty()) {
      auto gbk = Utf8ToGbk(dictd::TranslationText(dictd::FitParts(parts)));
      if (gbk && !gbk->empty()) {
        translation = *gbk;
        ++counts.translated;
      }
    }
    if (Status put = db.Run(InsertTranslationStatement(bank, word, translation, 1)); !put.ok()) return put;
    std::string phonetic = dictionary.Phonetic(word);
    if (!phonetic.empty()) {
      auto gbk = Utf8ToGbk(phonetic);
      if (gbk)
        if (Status put = db.Run(UpdatePhoneticStatement(bank, *gbk, word)); !put.ok()) return put;
    }
    ++counts.words;
  }
  if (examples) {
    std::span<const std::string_view> listed = lexicon.WordsOf(exam);
    std::vector<BundledExample> found = BundledExamplesFor(*examples, {listed.begin(), listed.end()});
    if (Status kept = AddBundledExamples(db, bank, found); !kept.ok()) return kept;
  }
  if (Status committed = batch.Commit(); !committed.ok()) return committed;
  if (done) *done = counts;
  return Status::Ok();
}

}  // namespace quorvo
