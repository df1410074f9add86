#include "update/install_journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

#include "base/file_util.h"
#include "update/ini_file.h"
#include "update/update_names.h"

namespace quorvo {
namespace {

constexpr char kJournalHeader[] = "renova-install-journal 1";
constexpr char kJournalName[] = "/journal";
// The journal of a manifest of at most 64 KiB stays far below this.
constexpr long long kMaxJournalBytes = 4 << 20;

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

std::optional<std::string> Unhex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

Status WriteJournal(const std::string& staging, const InstallJournal& journal) {
  return ReplaceFileAtomically(staging + kJournalName, JournalText(journal), 0600);
}

}  // namespace

std::string JournalText(const InstallJournal& journal) {
  std::string text = std::string(kJournalHeader) + "\n";
  text += journal.state == InstallJournal::State::kInstalled ? "state installed\n" : "state installing\n";
  text += "version " + std::to_string(journal.version) + "\n";
  for (const InstallJournal::Entry& entry : journal.entries)
    text += std::string("entry ") + (entry.existed ? "1 " : "0 ") + Hex(entry.name) + "\n";
  text += "end\n";
  return text;
}

Result<InstallJournal> ParseJournal(const std::string& text) {
  const Status damaged(StatusCode::kDamaged, "the install journal is not one renova wrote");
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kJournalHeader) return damaged;
  InstallJournal journal;
  if (!std::getline(in, line)) return damaged;
  if (line == "state installed")
    journal.state = InstallJournal::State::kInstalled;
  else if (line != "state installing")
    return damaged;
  if (!std::getline(in, line) || line.rfind("version ", 0) != 0) return damaged;
  std::string digits = line.substr(8);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
    return damaged;
  journal.version = std::stoi(digits);
  while (std::getline(in, line)) {
    if (line == "end") return journal;  // only a whole journal ends so
    if (line.size() < 9 || line.rfind("entry ", 0) != 0 || (line[6] != '0' && line[6] != '1') || line[7] != ' ')
      return damaged;
    std::optional<std::string> name = Unhex(line.substr(8));
    if (!name || name->size() < 2 || (*name)[0] != '/' || name->find('/', 1) != std::string::npos ||
        name->find('\0') != std::string::npos)
      return damaged;
    journal.entries.push_back({*name, line[6] == '1'});
  }
  return damaged;
}

std::string StagedNewPath(const std::string& staging, const std::string& name) { return staging + "/new" + name; }
std::string StagedOldPath(const std::string& staging, const std::string& name) { return staging + "/old" + name; }

bool RemoveStagingArea(const std::string& staging) {
  struct stat st;
  if (lstat(staging.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    RemoveStagingFolder(staging + "/new");
    RemoveStagingFolder(staging + "/old");
  }
  return RemoveStagingFolder(staging);
}

Status MakeStagingArea(const std::string& staging) {
  if (!RemoveStagingArea(staging)) return Status(StatusCode::kIoError, "cannot clear " + staging);
  for (const std::string& path : {staging, staging + "/new", staging + "/old"})
    if (mkdir(path.c_str(), 0700) != 0) return ErrnoStatus(errno, path);
  return Status::Ok();
}

Status UndoInstall(const std::string& folder, const std::string& staging, const InstallJournal& journal) {
  Status first;
  for (auto entry = journal.entries.rbegin(); entry != journal.entries.rend(); ++entry) {
    const std::string installed = folder + entry->name;
    const std::string old = StagedOldPath(staging, entry->name);
    if (Exists(old)) {
      // Moved aside: it goes back, over the new copy if that came in.
      if (rename(old.c_str(), installed.c_str()) != 0 && first.ok()) first = ErrnoStatus(errno, installed);
    } else if (!entry->existed && !Exists(StagedNewPath(staging, entry->name)) && Exists(installed)) {
      // New in this version and already in place: it goes.
      if (unlink(installed.c_str()) != 0 && first.ok()) first = ErrnoStatus(errno, installed);
    }
  }
  SyncFolderOf(folder + kConfigIni);
  return first;
}

InstallOutcome InstallStaged(const std::string& folder, const std::string& staging,
                             const std::vector<std::string>& names, int version, const RenameFunction& renameFile) {
  auto rename = [&renameFile](const std::string& from, const std::string& to) {
    return renameFile ? renameFile(from, to) : ::rename(from.c_str(), to.c_str());
  };
  InstallOutcome outcome;
  InstallJournal journal;
  journal.version = version;
  for (size_t index = 0; index < names.size(); ++index) {
    const std::string installed = folder + names[index];
    struct stat st;
    bool existed = lstat(installed.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      // A folder (or a device, a socket) where the file should go: moving it
      // aside would carry whatever it holds into the staging folder.
      outcome.status = Status(StatusCode::kRejected, installed + " is not a file: it cannot be replaced");
      outcome.failedIndex = index;
      return outcome;
    }
    journal.entries.push_back({names[index], existed});
  }
  outcome.status = WriteJournal(staging, journal);
  if (!outcome.status.ok()) {
    outcome.journalFailed = true;
    outcome.failedIndex = names.size();
    return outcome;
  }

  for (size_t index = 0; index < names.size(); ++index) {
    const InstallJournal::Entry& entry = journal.entries[index];
    const std::string installed = folder + entry.name;
    int failed = 0;
    if (entry.existed && rename(installed, StagedOldPath(staging, entry.name)) != 0)
      failed = errno;
    else if (rename(StagedNewPath(staging, entry.name), installed) != 0)
      failed = errno;
    if (failed != 0) {
      outcome.status = ErrnoStatus(failed, installed);
      outcome.failedIndex = index;
      Status undo = UndoInstall(folder, staging, journal);
      outcome.undone = undo.ok();
      if (!outcome.undone) outcome.status = undo;
      return outcome;
    }
  }
  SyncFolderOf(folder + kConfigIni);
  SyncFolderOf(StagedOldPath(staging, "/x"));
  journal.state = InstallJournal::State::kInstalled;
  outcome.status = WriteJournal(staging, journal);
  if (!outcome.status.ok()) {
    // The journal still says "installing": the step is undone now, as the
    // next run would do it.
    outcome.journalFailed = true;
    outcome.failedIndex = names.size();
    Status undo = UndoInstall(folder, staging, journal);
    outcome.undone = undo.ok();
  }
  return outcome;
}

Result<Recovery> RecoverInterruptedRun(const std::string& folder) {
  const std::string staging = folder + kStagingFolder;
  struct stat st;
  if (lstat(staging.c_str(), &st) != 0) {
    if (errno == ENOENT) return Recovery::kNothing;
    return ErrnoStatus(errno, staging);
  }
  std::string text;
  // Only a folder of this user's own can hold a journal of this user's runs.
  int error = S_ISDIR(st.st_mode) && st.st_uid == geteuid()
                  ? ReadSmallFile(staging + kJournalName, kMaxJournalBytes, &text)
                  : ENOENT;
  if (error == ENOENT) {
    // Downloads of a run that never reached its install step.
    if (!RemoveStagingArea(staging)) return Status(StatusCode::kIoError, "cannot clear " + staging);
    return Recovery::kNothing;
  }
  if (error != 0) return ErrnoStatus(error, staging + kJournalName);
  Result<InstallJournal> journal = ParseJournal(text);
  if (!journal.ok()) return journal.status();

  Recovery recovery;
  if (journal->state == InstallJournal::State::kInstalling) {
    Status undo = UndoInstall(folder, staging, *journal);
    if (!undo.ok()) return undo;
    recovery = Recovery::kUndone;
  } else {
    if (!WriteIniString(folder + kConfigIni, kUpdateSection, kVersionKey, std::to_string(journal->version)))
      return Status(StatusCode::kIoError,
                    "cannot record version " + std::to_string(journal->version) + " in " + folder + kConfigIni);
    recovery = Recovery::kCompleted;
  }
  RemoveStagingArea(staging);
  return recovery;
}

}  // namespace quorvo
