// The lines of the bundled data files (quorvo-lexicon.tsv,
// quorvo-examples.tsv): one entry a line, "\n" or "\r\n", "#" lines and
// empty lines left out.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvo {

// The next entry line of all from *start on, without its line end; false at
// the end of the text. *start moves past the line.
inline bool NextDataLine(std::string_view all, size_t* start, std::string_view* line) {
  while (*start < all.size()) {
    size_t end = all.find('\n', *start);
    if (end == std::string_view::npos) end = all.size();
    *line = all.substr(*start, end - *start);
    *start = end + 1;
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    if (!line->empty() && line->front() != '#') return true;
  }
  return false;
}

}  // namespace quorvo
