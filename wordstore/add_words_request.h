// AddWordsRequest: what the add-words dialog hands to the add-words run
// (ConvertWords): where the new words come from and which bank gets them.
// All texts are GBK bytes.
#pragma once

#include <string>

namespace quorvo {

enum AddWordsSource { SourceFile = 1, SourceText = 2 };

struct AddWordsRequest {
  std::string filePath;      // full path of the text file; empty when none was picked
  std::string text;          // the typed text; may be empty
  std::string bankName;      // new bank to create and fill, as typed; empty for none
  int sources = 0;           // SourceFile | SourceText bits
  bool onlyUnknown = false;  // "只添加还不会的单词": words known in any bank are left out
  // "合并词形": one row per word family (run for runs, ran, running), its
  // hot the sum of its forms' counts.
  bool families = false;
};

}  // namespace quorvo
