// The install step of an update run, all or nothing across files, and the
// journal that lets the next run finish or undo a run that was killed in
// the middle of it.
//
// The staging folder (folder + kStagingFolder, only this user may enter it)
// holds new/ (the checked new copies, under their installed names), old/
// (each replaced file, moved aside just before its new copy is renamed in)
// and journal. The journal is written, flushed, before the first rename and
// says "installing": the run may stop anywhere, and the next run undoes it
// (every file of old/ goes back; a file new in this version goes again).
// Once every new copy is in place it says "installed" with the version:
// the next run only records that version. A run that completes or undoes
// its own step removes the staging folder, journal included.
//
// Plain functions on the caller's thread; the caller holds the folder's
// RenovaFolderLock. Nothing here follows a link planted at a staging path.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"

namespace quorvo {

struct InstallJournal {
  enum class State { kInstalling, kInstalled };
  struct Entry {
    std::string name;      // installed name, "/words.txt"
    bool existed = false;  // an installed file was there before the run
  };
  State state = State::kInstalling;
  int version = 0;  // recorded in config.ini once every file is in place
  std::vector<Entry> entries;
};

// The journal as text, and back (kDamaged for anything it did not write).
std::string JournalText(const InstallJournal& journal);
Result<InstallJournal> ParseJournal(const std::string& text);

// Where a staged new copy and a moved-aside installed file live.
std::string StagedNewPath(const std::string& staging, const std::string& name);
std::string StagedOldPath(const std::string& staging, const std::string& name);

// Removes whatever is at staging (a planted link or file is removed, never
// followed) and makes a fresh staging folder with new/ and old/.
Status MakeStagingArea(const std::string& staging);
// Removes the staging folder and what the run put in it. True when nothing
// is left at staging.
bool RemoveStagingArea(const std::string& staging);

// rename(2), or a test's stand-in: 0 on success, -1 with errno set. Empty:
// rename(2).
using RenameFunction = std::function<int(const std::string& from, const std::string& to)>;

struct InstallOutcome {
  Status status;
  bool undone = true;          // on failure: every file is as before the step
  bool journalFailed = false;  // on failure: the journal could not be written (nothing moved then)
  size_t failedIndex = 0;      // on a failed rename: the entry that could not be put in place
};

// Puts every staged new copy in place (entries in order; each name's copy is
// at StagedNewPath): journal, then for each entry the installed file aside
// and the new copy in. An installed entry that is not a file or a link (a
// folder in the way) refuses the step before anything moves. When a rename
// fails, every entry done so far is undone; when even that fails the
// journal stays and undone is false. On success the journal says
// "installed"; the caller records the version and removes the staging area.
InstallOutcome InstallStaged(const std::string& folder, const std::string& staging,
                             const std::vector<std::string>& names, int version, const RenameFunction& renameFile = {});

// Undoes an "installing" journal's step: every moved-aside file goes back,
// every file new in this version goes. Ok when every entry is as before.
Status UndoInstall(const std::string& folder, const std::string& staging, const InstallJournal& journal);

// What the start of a run found in the staging folder.
enum class Recovery {
  kNothing,    // no journal (leftover downloads, if any, removed)
  kUndone,     // an interrupted install step, undone
  kCompleted,  // an interrupted run had put every file in place: its version is now recorded
};

// Finishes or undoes what an interrupted run left (its journal says which)
// and removes the staging folder. An error leaves the journal for the next
// attempt.
Result<Recovery> RecoverInterruptedRun(const std::string& folder);

}  // namespace quorvo
