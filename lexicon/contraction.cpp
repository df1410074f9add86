#include "lexicon/contraction.h"

namespace quorvo {

std::string ContractionStem(std::string_view token) {
  size_t apostrophe = token.find('\'');
  if (apostrophe == std::string_view::npos) return std::string(token);
  // Only one apostrophe, and letters before it.
  if (apostrophe == 0 || token.find('\'', apostrophe + 1) != std::string_view::npos) return {};
  std::string_view stem = token.substr(0, apostrophe);
  std::string_view tail = token.substr(apostrophe + 1);
  if (tail == "t" && stem.size() > 1 && stem.back() == 'n') {
    // The n of n't belongs to the verb in a few.
    if (stem == "won") return "will";
    if (stem == "shan") return "shall";
    if (stem == "can") return "can";
    if (stem == "ain") return {};
    stem.remove_suffix(1);
    return std::string(stem);
  }
  for (std::string_view ending : {"s", "re", "ve", "ll", "d", "m"})
    if (tail == ending) return std::string(stem);
  return {};
}

}  // namespace quorvo
