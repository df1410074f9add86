#include "lexicon/example_sentences.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>

#include "lexicon/data_lines.h"

namespace quorvo {
namespace {

// Longest word looked up; quorvo's words are at most 127 letters.
constexpr size_t kMaxWordBytes = 127;

bool IsWord(std::string_view word) {
  return !word.empty() && word.size() <= kMaxWordBytes &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

bool ExampleSentences::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    examples_.clear();
    text_.reset();
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return LoadText(std::move(text).str());
}

bool ExampleSentences::LoadText(std::string text) {
  examples_.clear();
  text_ = std::make_unique<std::string>(std::move(text));
  const std::string_view all(*text_);
  examples_.reserve(static_cast<size_t>(std::count(all.begin(), all.end(), '\n')) + 1);
  size_t start = 0;
  std::string_view line;
  while (NextDataLine(all, &start, &line)) {
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    std::string_view word = line.substr(0, tab);
    std::string_view example = line.substr(tab + 1);
    if (!IsWord(word) || example.empty()) continue;
    examples_.emplace(word, example);  // the first line of a word stays
  }
  return !examples_.empty();
}

std::string_view ExampleSentences::ExampleOf(std::string_view word) const {
  if (word.empty() || word.size() > kMaxWordBytes) return {};
  char lower[kMaxWordBytes];
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  auto found = examples_.find(std::string_view(lower, word.size()));
  return found == examples_.end() ? std::string_view() : found->second;
}

const ExampleSentences* LazyExampleSentences::Get() {
  if (!tried_) {
    tried_ = true;
    loaded_ = !path_.empty() && examples_.Load(path_);
  }
  return loaded_ ? &examples_ : nullptr;
}

}  // namespace quorvo
