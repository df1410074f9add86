#include "wordstore/pending_journal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/file_util.h"

namespace quorvo {
namespace {

constexpr char kHeader[] = "quorvo pending 1";
// A journal is a few statements and grades; anything larger is not ours.
constexpr long long kMaxJournalBytes = 64LL << 20;

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::string Format(const PendingWrites& writes) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& statement : writes.statements) out += "sql\t" + Escape(statement) + "\n";
  for (const auto& r : writes.reviews)
    out += "review\t" + Escape(r.bank) + "\t" + Escape(r.word) + "\t" + std::to_string(r.grade) + "\t" +
           std::to_string(r.at) + "\n";
  for (const auto& m : writes.misspellings)
    out += "misspelling\t" + Escape(m.bank) + "\t" + Escape(m.word) + "\t" + (m.right ? "right" : "mistake") + "\t" +
           std::to_string(m.at) + "\n";
  return out;
}

}  // namespace

std::string PendingJournalPath(const std::string& bankFile) { return bankFile + ".pending"; }

Result<PendingWrites> LoadPendingWrites(const std::string& bankFile) {
  std::string content;
  int error = ReadSmallFile(PendingJournalPath(bankFile), kMaxJournalBytes, &content);
  if (error == ENOENT) return PendingWrites();
  if (error != 0) return ErrnoStatus(error, PendingJournalPath(bankFile));
  PendingWrites writes;
  std::string_view rest(content);
  bool first = true;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (first) {
      first = false;
      if (line != kHeader) return Status(StatusCode::kDamaged, "not a pending journal");
      continue;
    }
    std::vector<std::string_view> f = Fields(line);
    if (f[0] == "sql" && f.size() == 2 && !f[1].empty()) {
      writes.statements.push_back(Unescape(f[1]));
    } else if (f[0] == "review" && f.size() == 5) {
      PendingReview r{Unescape(f[1]), Unescape(f[2]), std::atoi(std::string(f[3]).c_str()),
                      std::atoll(std::string(f[4]).c_str())};
      if (r.grade >= 1 && r.grade <= 4) writes.reviews.push_back(std::move(r));
    } else if (f[0] == "misspelling" && f.size() == 5 && (f[3] == "right" || f[3] == "mistake")) {
      writes.misspellings.push_back(
          {Unescape(f[1]), Unescape(f[2]), f[3] == "right", std::atoll(std::string(f[4]).c_str())});
    }
  }
  return writes;
}

Status SavePendingWrites(const std::string& bankFile, const PendingWrites& writes) {
  if (writes.empty()) return Status::Ok();
  Result<PendingWrites> existing = LoadPendingWrites(bankFile);
  PendingWrites all = existing.ok() ? *existing : PendingWrites();
  all.statements.insert(all.statements.end(), writes.statements.begin(), writes.statements.end());
  all.reviews.insert(all.reviews.end(), writes.reviews.begin(), writes.reviews.end());
  all.misspellings.insert(all.misspellings.end(), writes.misspellings.begin(), writes.misspellings.end());
  return ReplaceFileAtomically(PendingJournalPath(bankFile), Format(all), 0600);
}

Status RemovePendingWrites(const std::string& bankFile) {
  if (unlink(PendingJournalPath(bankFile).c_str()) == 0 || errno == ENOENT) return Status::Ok();
  return ErrnoStatus(errno, PendingJournalPath(bankFile));
}

}  // namespace quorvo
