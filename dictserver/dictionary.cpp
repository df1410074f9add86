#include "dictserver/dictionary.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quorvo::dictd {

namespace {

constexpr std::string_view kSenseSeparator = "；";
constexpr std::string_view kVowels = "aeiou";

bool IsLetterWord(std::string_view word) {
  if (word.empty() || word.size() > kMaxWordBytes) return false;
  return std::all_of(word.begin(), word.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::string Lower(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// True when the text is well-formed UTF-8 without control characters.
bool IsCleanUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length;
    unsigned int value;
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7f) return false;
      ++i;
      continue;
    } else if ((c & 0xe0) == 0xc0) {
      length = 2;
      value = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
      length = 3;
      value = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
      length = 4;
      value = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      value = (value << 6) | (next & 0x3f);
    }
    static constexpr unsigned int kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
    i += length;
  }
  return true;
}

// Blanks collapsed to one and trimmed: the page's reader collapses runs of
// blanks, so what is served is what is stored.
std::string CollapseBlanks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// A part is kept only when the page can carry it unchanged.
bool MakePart(std::string_view field, DictPart* part) {
  size_t blank = field.find(' ');
  if (blank == 0 || blank == std::string_view::npos) return false;
  part->head = std::string(field.substr(0, blank));
  part->senses = CollapseBlanks(field.substr(blank + 1));
  if (part->senses.empty()) return false;
  for (const std::string* text : {&part->head, &part->senses}) {
    if (text->find_first_of("<>&") != std::string::npos || !IsCleanUtf8(*text)) return false;
  }
  return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

bool PrefersE(std::string_view stem) {
  // "hop" + ing is "hopping", so "hoping" comes from "hope".
  return stem.size() >= 2 && std::string_view("aeiouwxy").find(stem.back()) == std::string_view::npos &&
         kVowels.find(stem[stem.size() - 2]) != std::string_view::npos;
}

bool Doubled(std::string_view stem) {
  return stem.size() >= 3 && stem.back() == stem[stem.size() - 2] &&
         std::string_view("aeiousz").find(stem.back()) == std::string_view::npos;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

size_t PartBytes(const DictPart& part) { return part.head.size() + 1 + part.senses.size(); }

// "/ˈæp.əl/": slashes round clean UTF-8 the page carries unchanged.
bool IsPhonetic(std::string_view field) {
  return field.size() >= 3 && field.size() <= kMaxPhoneticBytes && field.front() == '/' && field.back() == '/' &&
         field.find_first_of("<>&\"' ") == std::string_view::npos && IsCleanUtf8(field);
}

// "n. 复数" from an alias line: a head and a kind, both plain.
bool MakeFormNote(std::string_view field, FormNote* form) {
  DictPart part;
  if (!MakePart(field, &part) || part.senses.find(' ') != std::string::npos) return false;
  form->head = part.head;
  form->kind = part.senses;
  return true;
}

}  // namespace

std::vector<std::string> InflectionCandidates(std::string_view word) {
  std::vector<std::string> out;
  auto add = [&out](std::string base) {
    if (base.size() >= 2 && std::find(out.begin(), out.end(), base) == out.end()) out.push_back(std::move(base));
  };
  auto cut = [word](size_t n) { return std::string(word.substr(0, word.size() - n)); };

  if (EndsWith(word, "men")) add(cut(3) + "man");  // fishermen, men
  if (EndsWith(word, "s") && !EndsWith(word, "ss")) {
    add(cut(1));                                   // cats, likes, dies
    if (EndsWith(word, "es")) add(cut(2));         // boxes, goes
    if (EndsWith(word, "ies")) add(cut(3) + "y");  // flies
  }
  if (EndsWith(word, "ing") && word.size() > 4) {
    std::string stem = cut(3);
    if (stem.back() == 'y' && stem.size() >= 2) add(stem.substr(0, stem.size() - 1) + "ie");  // lying
    if (PrefersE(stem)) {
      add(stem + "e");  // hoping
      add(stem);
    } else {
      add(stem);  // singing
      add(stem + "e");
    }
    if (Doubled(stem)) add(stem.substr(0, stem.size() - 1));  // running
  }
  if (EndsWith(word, "ed") && word.size() > 3) {
    std::string stem = cut(2);
    add(cut(1));                                              // liked
    add(stem);                                                // walked
    if (EndsWith(word, "ied")) add(cut(3) + "y");             // tried
    if (Doubled(stem)) add(stem.substr(0, stem.size() - 1));  // stopped
  }
  for (std::string_view suffix : {std::string_view("er"), std::string_view("est")}) {
    if (EndsWith(word, suffix) && word.size() > suffix.size() + 2) {
      std::string stem = cut(suffix.size());
      add(stem + "e");                                                     // nicer, nicest
      add(stem);                                                           // taller
      if (stem.back() == 'i') add(stem.substr(0, stem.size() - 1) + "y");  // happier
      if (Doubled(stem)) add(stem.substr(0, stem.size() - 1));             // bigger
    }
  }
  return out;
}

bool Dictionary::Load(const std::string& path, LoadReport* report) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  return LoadText(text.str(), report);
}

bool Dictionary::LoadText(std::string_view text, LoadReport* report) {
  entries_.clear();
  aliases_.clear();
  phonetics_.clear();
  LoadReport counts;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;

    std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() < 2 || !IsLetterWord(fields[0])) {
      ++counts.skippedLines;
      continue;
    }
    std::string word = Lower(fields[0]);
    size_t first = 1;
    if (IsPhonetic(fields[1])) {
      phonetics_[word] = std::string(fields[1]);
      first = 2;
      if (fields.size() == 2) continue;  // the phonetic of a regular form
    }
    if (!fields[first].empty() && fields[first][0] == '=') {
      Alias alias;
      bool good = IsLetterWord(fields[first].substr(1)) && fields.size() <= first + 2 &&
                  (fields.size() == first + 1 || MakeFormNote(fields[first + 1], &alias.form));
      if (good) {
        alias.base = Lower(fields[first].substr(1));
        aliases_[word] = std::move(alias);
      } else {
        ++counts.skippedLines;
      }
      continue;
    }
    std::vector<DictPart> parts;
    for (size_t i = first; i < fields.size(); ++i) {
      DictPart part;
      if (MakePart(fields[i], &part)) parts.push_back(std::move(part));
    }
    parts = FitParts(parts);
    if (parts.empty()) {
      ++counts.skippedLines;
      continue;
    }
    entries_[word] = std::move(parts);
  }
  // An alias must lead to a headword; a headword of its own needs none.
  for (auto it = aliases_.begin(); it != aliases_.end();) {
    if (entries_.count(it->first) || !entries_.count(it->second.base)) {
      if (!entries_.count(it->first)) ++counts.skippedLines;
      it = aliases_.erase(it);
    } else {
      ++it;
    }
  }
  counts.headwords = entries_.size();
  counts.aliases = aliases_.size();
  counts.phonetics = phonetics_.size();
  if (report) *report = counts;
  return !entries_.empty();
}

const std::vector<DictPart>* Dictionary::Entry(std::string_view headword) const {
  auto it = entries_.find(std::string(headword));
  return it == entries_.end() ? nullptr : &it->second;
}

Resolution Dictionary::ResolveOnce(const std::string& word) const {
  if (entries_.count(word)) return {word, {}};
  if (auto alias = aliases_.find(word); alias != aliases_.end()) return {alias->second.base, alias->second.form};
  for (const std::string& base : InflectionCandidates(word)) {
    auto entry = entries_.find(base);
    if (entry == entries_.end()) continue;
    FormNote form = RegularForm(word, base, entry->second);
    // "trooper" and "presser" are no comparatives of the noun "troop" or the verb "press".
    auto hasPart = [&entry](const char* head) {
      return std::any_of(entry->second.begin(), entry->second.end(),
                         [head](const DictPart& p) { return p.head == head; });
    };
    if (form.head == "adj." && !hasPart("adj.") && !hasPart("adv.")) continue;
    return {base, form};
  }
  return {};
}

Resolution Dictionary::ResolveForm(std::string_view word) const {
  if (!IsLetterWord(word)) return {};
  std::string lower = Lower(word);
  Resolution found = ResolveOnce(lower);
  // "somethin'" and "tellin'": a text's words stop at the apostrophe.
  if (found.headword.empty() && EndsWith(lower, "in") && lower.size() >= 5 && lower.size() < kMaxWordBytes)
    found = ResolveOnce(lower + "g");
  return found;
}

std::string Dictionary::Resolve(std::string_view word) const { return ResolveForm(word).headword; }

std::vector<DictPart> Dictionary::PartsFor(std::string_view word) const {
  Resolution found = ResolveForm(word);
  const std::vector<DictPart>* parts = found.headword.empty() ? nullptr : Entry(found.headword);
  if (!parts) return {};
  return PartsForForm(*parts, found.headword, found.form);
}

std::string Dictionary::Phonetic(std::string_view word) const {
  if (!IsLetterWord(word)) return "";
  auto it = phonetics_.find(Lower(word));
  return it == phonetics_.end() ? "" : it->second;
}

FormNote RegularForm(std::string_view word, std::string_view base, const std::vector<DictPart>& baseParts) {
  if (EndsWith(word, "men") && EndsWith(base, "man")) return {"n.", "复数"};
  if (EndsWith(word, "s")) {
    bool noun = std::any_of(baseParts.begin(), baseParts.end(), [](const DictPart& p) { return p.head == "n."; });
    return noun ? FormNote{"n.", "复数"} : FormNote{"v.", "第三人称单数"};
  }
  if (EndsWith(word, "ing")) return {"v.", "现在分词"};
  if (EndsWith(word, "ed")) return {"v.", "过去式或过去分词"};
  if (EndsWith(word, "est")) return {"adj.", "最高级"};
  if (EndsWith(word, "er")) return {"adj.", "比较级"};
  return {};
}

std::vector<DictPart> PartsForForm(const std::vector<DictPart>& parts, std::string_view base, const FormNote& form) {
  if (form.kind.empty() || parts.empty()) return parts;
  std::vector<DictPart> out = parts;
  auto belongs = std::find_if(out.begin(), out.end(), [&form](const DictPart& p) { return p.head == form.head; });
  if (belongs != out.end()) std::rotate(out.begin(), belongs, belongs + 1);
  std::string note = "（" + std::string(base) + " 的" + form.kind + "）";
  // The note stays whole: senses make room for it.
  std::vector<DictPart> fitted = FitParts(out, kMaxTranslationBytes - note.size());
  if (!fitted.empty()) fitted.front().senses += note;
  return fitted;
}

std::vector<DictPart> FitParts(const std::vector<DictPart>& parts, size_t maxBytes) {
  std::vector<DictPart> out;
  size_t used = 0;
  for (const DictPart& whole : parts) {
    if (out.size() == kMaxParts) break;
    size_t separator = out.empty() ? 0 : 1;
    DictPart part = whole;
    while (used + separator + PartBytes(part) > maxBytes) {
      size_t last = part.senses.rfind(kSenseSeparator);
      if (last == std::string::npos) break;
      part.senses.resize(last);
    }
    if (used + separator + PartBytes(part) > maxBytes) break;
    used += separator + PartBytes(part);
    out.push_back(std::move(part));
  }
  return out;
}

std::string TranslationText(const std::vector<DictPart>& parts) {
  std::string out;
  for (const DictPart& part : parts) {
    if (!out.empty()) out += '\n';
    out += part.head + " " + part.senses;
  }
  return out;
}

}  // namespace quorvo::dictd
