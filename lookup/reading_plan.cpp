#include "lookup/reading_plan.h"

#include <algorithm>
#include <unordered_map>

namespace quorvo {

ReadingPlan PlanReading(const std::vector<TextWord>& words, const Lexicon* lexicon) {
  struct Family {
    std::string base;
    std::string word;  // the bank's row for it
    int wordCount = -1;
    long long count = 0;
    bool known = false;
  };
  std::vector<Family> families;
  std::unordered_map<std::string, size_t> at;
  ReadingPlan plan;
  for (const TextWord& w : words) {
    std::string base = FamilyBase(lexicon, w.word);
    auto [it, added] = at.emplace(base, families.size());
    if (added) families.push_back(Family{base, {}, -1, 0, false});
    Family& f = families[it->second];
    f.count += w.count;
    f.known = f.known || w.known;
    bool isBase = w.word == base;
    if (f.word != base && (isBase || w.count > f.wordCount)) {
      f.word = w.word;
      f.wordCount = w.count;
    }
    plan.running += w.count;
  }
  for (const Family& f : families)
    if (f.known) plan.known += f.count;
  if (plan.running == 0) return plan;
  if (plan.known * 100 < 95 * plan.running)
    plan.target = 95;
  else if (plan.known * 100 < 98 * plan.running)
    plan.target = 98;
  else
    return plan;
  std::vector<const Family*> unknown;
  for (const Family& f : families)
    if (!f.known) unknown.push_back(&f);
  std::sort(unknown.begin(), unknown.end(), [](const Family* a, const Family* b) {
    return a->count != b->count ? a->count > b->count : a->base < b->base;
  });
  long long reached = plan.known;
  for (const Family* f : unknown) {
    if (reached * 100 >= plan.target * plan.running) break;
    reached += f->count;
    plan.words.push_back(f->word);
  }
  return plan;
}

}  // namespace quorvo
