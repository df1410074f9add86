#include "lookup/translation_extract.h"

#include "lookup/page_fetch.h"

namespace quorvo {
namespace {

// Appends to the output until it holds kMaxTranslationChars characters.
class BoundedOutput {
 public:
  explicit BoundedOutput(std::string* out) : out_(out) {}
  bool Full() const { return out_->size() >= kMaxTranslationChars; }
  void Put(char c) {
    if (!Full()) out_->push_back(c);
  }

 private:
  std::string* out_;
};

// The characters a part's head is separated from its body by: the "<" that
// ends the head and the five after it.
constexpr size_t kHeadTailChars = 6;

}  // namespace

bool ExtractTranslation(std::string_view page, std::string* translation) {
  translation->clear();
  page = page.substr(0, page.find('\0'));
  const size_t end = page.find(kEndMarker);
  size_t start = page.find(kStartMarker);
  if (end == std::string_view::npos || start == std::string_view::npos || start >= end) return false;

  BoundedOutput out(translation);
  const size_t size = page.size();
  bool cut = false;
  while (start != std::string_view::npos && start < end && !out.Full()) {
    cut = true;
    size_t i = start + kStartMarker.size();
    for (; i < size && page[i] != '<'; ++i) out.Put(page[i]);
    if (i >= size) break;
    i += kHeadTailChars;
    if (i >= size) break;

    bool lastWasBlank = false;
    for (; i < size && page[i] != '<'; ++i) {
      char c = page[i];
      if (c == '\r' || c == '\n') {
        while (i < size && page[i] != '<') ++i;
        break;
      }
      if (c == ' ' && lastWasBlank) continue;
      out.Put(c);
      lastWasBlank = c == ' ';
    }
    if (i >= size) break;
    ++i;  // the "<" that ended the body
    if (i < size && page[i] == 'b') out.Put('\n');
    start = page.find(kStartMarker, i);
  }
  return cut;
}

}  // namespace quorvo
