#include "lookup/phonetic_extract.h"

#include "lookup/page_fetch.h"

namespace quorvo {

bool ExtractPhonetic(std::string_view page, std::string* phonetic) {
  phonetic->clear();
  page = page.substr(0, page.find('\0'));
  const size_t end = page.find(kEndMarker);
  if (end == std::string_view::npos) return false;
  page = page.substr(0, end);

  const size_t open = page.find(kPhoneticOpen);
  if (open == std::string_view::npos) return false;
  std::string_view rest = page.substr(open + kPhoneticOpen.size());
  const size_t close = rest.find('<');
  if (close == std::string_view::npos || rest.substr(close, kPhoneticClose.size()) != kPhoneticClose) return false;
  std::string_view text = rest.substr(0, close);

  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > kMaxPhoneticBytes) return false;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  phonetic->assign(text);
  return true;
}

}  // namespace quorvo
