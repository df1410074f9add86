// Where quorvo keeps its word banks and finds its dictionary service, chosen
// once at start.
//
// Portable: the folder of the executable holds dict_main.db (or a file named
// "portable"), config.ini, quorvo-dictd and its data (quorvo-dict.tsv, and
// quorvo-lexicon.tsv and quorvo-examples.tsv that quorvo reads itself);
// renova updates that folder in place. Installed (a package or `cmake
// --install`): the banks live in $XDG_DATA_HOME/quorvo/dict_main.db (default
// ~/.local/share/quorvo), copied once from the starter database of the
// install prefix; the service and its data come from the prefix; the package
// manager does the updating. Neither layout ever touches the working folder.
#pragma once

#include <functional>
#include <string>

namespace quorvo {

enum class LayoutKind { Portable, Installed };

struct AppLayout {
  LayoutKind kind = LayoutKind::Portable;
  std::string bankFile;      // the dict_main.db both pages open; empty: none can be named
  std::string starterFile;   // copied to bankFile when that is missing; empty: nothing to copy
  std::string dictdFolder;   // the folder holding quorvo-dictd
  std::string dictData;      // quorvo-dictd's data file
  std::string lexiconData;   // the word families and exam lists, beside dictData
  std::string examplesData;  // the bundled example sentences, beside dictData
  bool updateCheck = true;   // only a portable folder is updated by renova
};

// What the choice depends on, so that it can be made without a real
// executable, environment or file system.
struct LayoutInputs {
  std::string exeFolder;    // the running executable's folder, no trailing "/"
  std::string xdgDataHome;  // $XDG_DATA_HOME (ignored unless absolute)
  std::string home;         // $HOME
  // Relative paths from the executable's folder to the installed data and
  // service folders ("../share/quorvo", "../libexec/quorvo").
  std::string dataFromBin;
  std::string libexecFromBin;
  std::function<bool(const std::string& path)> exists;
};

AppLayout ResolveLayout(const LayoutInputs& in);

// The inputs of the running program: /proc/self/exe, the environment (HOME
// from the password database when unset) and the install folders the build
// was configured with.
LayoutInputs CurrentLayoutInputs();

// Makes layout.bankFile ready to be opened: creates its folder and, when the
// file is missing and a starter exists, copies the starter in (written under
// a temporary name, then linked into place, so that a half-written copy is
// never seen and an existing bank is never replaced). Then opens it with
// SQLite, creating it when needed. Empty on success, else one line (UTF-8)
// that names the path and what went wrong, for a message box.
std::string PrepareBankFile(const AppLayout& layout);

// What the windows must know of a bank file PrepareBankFile accepted, and
// tell the learner once at start (UTF-8; empty: nothing to tell).
struct BankFileState {
  // Set when the file may only be read (the learner may not write it or
  // its folder, it is another program's file, it is cut short): the windows
  // open it read-only, show this line and disable what would write.
  std::string readOnlyBanner;
  // One message for the start, naming the file and what is the matter.
  std::string notice;
};

// Looks at the file before the windows open it: a file the learner may not
// write, an empty file (which gets the default bank and recitation list, as
// a new installation does), another program's SQLite file (no main_word
// and no table of the word layout) and a file cut short are each named.
BankFileState CheckBankFile(const std::string& bankFile);

// The bank file the windows open, set once by main() before the first
// window; "dict_main.db" (of the working folder) until then, which is what
// the window tests, each in a folder of its own, rely on.
const std::string& BankFile();
void SetBankFile(std::string path);

}  // namespace quorvo
