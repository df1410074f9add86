// ContractionStem: the word a contraction or a possessive stands for, when
// the words of a text are counted by family ("don't" is an occurrence of do,
// "John's" of john). Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace quorvo {

// The stem of a lower-case token with an apostrophe: "n't" is cut (can't →
// can, won't → will, shan't → shall), as are "'s", "'re", "'ve", "'ll", "'d"
// and "'m". Empty for an apostrophe that is none of these (o'clock,
// rock'n'roll, ain't). A token without an apostrophe is returned as it is.
std::string ContractionStem(std::string_view token);

}  // namespace quorvo
