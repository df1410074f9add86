// ExampleSentences: one English example sentence per word, read from
// quorvo-examples.tsv (beside quorvo-lexicon.tsv; AppLayout's examplesData
// names it). The add-words run gives a word its example when the learner's
// texts held no sentence of it.
//
// File format (UTF-8, one word a line, "#" lines are comments):
//   word<TAB>example
// Words are lower-case ASCII letters; a line without a tab, with an empty
// example or a word that is no run of letters, and the repeat of a word, are
// skipped.
//
// Lookups take a word in any case (ASCII letters) and never copy: the views
// they return stay valid as long as the object lives. After Load() the
// object is only read. LazyExampleSentences reads the file at its first use,
// so that a start that adds no words never pays for it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvo {

class ExampleSentences {
 public:
  // Reads the file; false when it cannot be read or holds no usable line.
  bool Load(const std::string& path);
  // Reads the file's content from memory (for tests and tools).
  bool LoadText(std::string text);

  // The word's example (UTF-8); empty when it has none.
  std::string_view ExampleOf(std::string_view word) const;
  size_t size() const { return examples_.size(); }

 private:
  std::unique_ptr<std::string> text_;  // every view points into it
  std::unordered_map<std::string_view, std::string_view> examples_;
};

// The examples of one file, read at the first Get(). Window thread.
class LazyExampleSentences {
 public:
  explicit LazyExampleSentences(std::string path) : path_(std::move(path)) {}
  // The examples; null when the file cannot be read (it is not tried again).
  const ExampleSentences* Get();

 private:
  std::string path_;
  bool tried_ = false;
  bool loaded_ = false;
  ExampleSentences examples_;
};

}  // namespace quorvo
