#include "startup/app_layout.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/program_folder.h"
#include "base/unique_fd.h"
#include "wordstore/word_bank.h"

#ifndef QUORVO_DATA_FROM_BIN
#define QUORVO_DATA_FROM_BIN "../share/quorvo"
#endif
#ifndef QUORVO_LIBEXEC_FROM_BIN
#define QUORVO_LIBEXEC_FROM_BIN "../libexec/quorvo"
#endif

namespace quorvo {
namespace {

constexpr char kBankName[] = "dict_main.db";
constexpr char kPortableMarker[] = "portable";
constexpr char kDictdData[] = "quorvo-dict.tsv";
constexpr char kLexiconData[] = "quorvo-lexicon.tsv";
constexpr char kExamplesData[] = "quorvo-examples.tsv";

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Problem(const std::string& what, const std::string& path, int error) {
  std::string line = "无法" + what + "词库文件 " + path;
  if (error != 0) line += "：" + std::string(std::strerror(error));
  return line;
}

// mkdir -p; 0 or the errno of the first step that failed.
int MakeFolders(const std::string& folder) {
  std::string partial;
  size_t from = 0;
  while (from <= folder.size()) {
    size_t slash = folder.find('/', from);
    if (slash == std::string::npos) slash = folder.size();
    partial = folder.substr(0, slash);
    from = slash + 1;
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    struct stat info {};
    if (stat(partial.c_str(), &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  }
  return 0;
}

// Copies starter to target unless target exists; 0 or an errno.
int CopyStarter(const std::string& starter, const std::string& target) {
  UniqueFd in(open(starter.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return errno;
  std::string temporary = target + ".XXXXXX";
  UniqueFd out(mkostemp(temporary.data(), O_CLOEXEC));
  if (!out) return errno;
  auto fail = [&](int error) {
    unlink(temporary.c_str());
    return error;
  };
  fchmod(out.get(), 0644);
  char block[1 << 16];
  for (;;) {
    ssize_t n = read(in.get(), block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out.get(), block + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return fail(errno);
      done += w;
    }
  }
  if (fsync(out.get()) != 0) return fail(errno);
  if (!out.Close()) return fail(errno);
  // link() never replaces: a bank made meanwhile (another quorvo starting)
  // is kept and the copy dropped.
  int error = 0;
  if (link(temporary.c_str(), target.c_str()) != 0 && errno != EEXIST) {
    error = errno;
    // File systems without hard links: a rename, the target checked first.
    if ((error == EPERM || error == ENOTSUP || error == EOPNOTSUPP) && access(target.c_str(), F_OK) != 0) {
      error = rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
    }
  }
  unlink(temporary.c_str());
  return error;
}

}  // namespace

AppLayout ResolveLayout(const LayoutInputs& in) {
  AppLayout layout;
  auto exists = [&](const std::string& path) { return in.exists && in.exists(path); };
  std::string besideExe = Join(in.exeFolder, kBankName);
  if (!in.exeFolder.empty() && (exists(besideExe) || exists(Join(in.exeFolder, kPortableMarker)))) {
    layout.kind = LayoutKind::Portable;
    layout.bankFile = besideExe;
    layout.dictdFolder = in.exeFolder;
    layout.dictData = Join(in.exeFolder, kDictdData);
    layout.lexiconData = Join(in.exeFolder, kLexiconData);
    layout.examplesData = Join(in.exeFolder, kExamplesData);
    layout.updateCheck = true;
    return layout;
  }
  layout.kind = LayoutKind::Installed;
  layout.updateCheck = false;
  std::string dataHome;
  if (!in.xdgDataHome.empty() && in.xdgDataHome.front() == '/') {
    dataHome = in.xdgDataHome;
  } else if (!in.home.empty() && in.home.front() == '/') {
    dataHome = Join(in.home, ".local/share");
  }
  if (!dataHome.empty()) layout.bankFile = Join(Join(dataHome, "quorvo"), kBankName);
  if (!in.exeFolder.empty()) {
    std::string data = Join(in.exeFolder, in.dataFromBin);
    layout.starterFile = Join(data, kBankName);
    layout.dictData = Join(data, kDictdData);
    layout.lexiconData = Join(data, kLexiconData);
    layout.examplesData = Join(data, kExamplesData);
    layout.dictdFolder = Join(in.exeFolder, in.libexecFromBin);
  }
  return layout;
}

LayoutInputs CurrentLayoutInputs() {
  LayoutInputs in;
  in.exeFolder = ExecutableFolder();
  in.xdgDataHome = Env("XDG_DATA_HOME");
  in.home = Env("HOME");
  if (in.home.empty()) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
      in.home = found->pw_dir;
  }
  in.dataFromBin = QUORVO_DATA_FROM_BIN;
  in.libexecFromBin = QUORVO_LIBEXEC_FROM_BIN;
  in.exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
  return in;
}

std::string PrepareBankFile(const AppLayout& layout) {
  const std::string& bank = layout.bankFile;
  if (bank.empty()) return "无法确定词库文件的位置：HOME 与 XDG_DATA_HOME 均未设置";
  if (layout.kind == LayoutKind::Installed) {
    size_t cut = bank.rfind('/');
    if (cut != std::string::npos && cut > 0) {
      if (int error = MakeFolders(bank.substr(0, cut))) return Problem("创建", bank, error);
    }
    if (access(bank.c_str(), F_OK) != 0 && !layout.starterFile.empty() &&
        access(layout.starterFile.c_str(), R_OK) == 0) {
      if (int error = CopyStarter(layout.starterFile, bank)) return Problem("创建", bank, error);
    }
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(bank.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  int error = db ? sqlite3_system_errno(db) : 0;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 2000);
    rc = sqlite3_exec(db, "select count(*) from sqlite_master;", nullptr, nullptr, nullptr);
  }
  std::string message = rc == SQLITE_OK ? "" : (db ? sqlite3_errmsg(db) : "");
  sqlite3_close(db);
  if (rc == SQLITE_OK) return "";
  std::string line = Problem("打开", bank, 0);
  if (rc == SQLITE_CANTOPEN && error != 0) return line + "：" + std::strerror(error);
  return message.empty() ? line : line + "：" + message;
}

namespace {

// The file's header says how long the database is; a file shorter than
// that was cut (a copy that stopped, a disk that filled).
bool CutShort(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  unsigned char header[100];
  struct stat st;
  if (!fd || fstat(fd.get(), &st) != 0 || read(fd.get(), header, sizeof header) != sizeof header) return false;
  if (std::memcmp(header, "SQLite format 3", 16) != 0) return false;
  auto be32 = [&header](int at) {
    return (uint32_t{header[at]} << 24) | (uint32_t{header[at + 1]} << 16) | (uint32_t{header[at + 2]} << 8) |
           uint32_t{header[at + 3]};
  };
  uint32_t pageSize = (uint32_t{header[16]} << 8) | header[17];
  if (pageSize == 1) pageSize = 65536;
  // The page count is valid only while the change counter matches.
  if (be32(24) != be32(92)) return false;
  return static_cast<uint64_t>(be32(28)) * pageSize > static_cast<uint64_t>(st.st_size);
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

BankFileState CheckBankFile(const std::string& bankFile) {
  BankFileState state;
  const std::string readOnlyNotice = "词库文件 " + bankFile + " 只读";
  // Writing needs the file and, for its journal, its folder.
  int denied = 0;
  if (access(bankFile.c_str(), W_OK) != 0)
    denied = errno;
  else if (access(FolderOf(bankFile).c_str(), W_OK) != 0)
    denied = errno;
  bool writable = denied == 0;
  if (CutShort(bankFile)) {
    state.readOnlyBanner = "词库文件不完整，只能查看读得出的单词";
    state.notice = "词库文件 " + bankFile +
                   " 不完整（文件被截断了），可能缺少一些单词。为了不再改动它，quorvo 只读打开，请用备份替换。";
    return state;
  }
  sqlite3* db = nullptr;
  int flags = writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(bankFile.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return state;  // PrepareBankFile has said what it could
  }
  sqlite3_busy_timeout(db, 2000);
  int tables = -1;
  int mainWord = 0;
  int wordLayout = 0;
  sqlite3_stmt* count = nullptr;
  const char* sql =
      "select count(*), coalesce(sum(name = 'main_word' collate nocase), 0), "
      "coalesce(sum((select count(*) from pragma_table_info(m.name) where name in ('value', 'trans', 'known', 'hot'))"
      " = 4), 0) from sqlite_master m where type = 'table'";
  if (sqlite3_prepare_v2(db, sql, -1, &count, nullptr) == SQLITE_OK && sqlite3_step(count) == SQLITE_ROW) {
    tables = sqlite3_column_int(count, 0);
    mainWord = sqlite3_column_int(count, 1);
    wordLayout = sqlite3_column_int(count, 2);
  }
  sqlite3_finalize(count);
  if (tables == 0 && writable) {
    // An empty file (a new portable folder, a copy that never got its
    // content) becomes what a new installation has.
    std::string create =
        "begin immediate;" + CreateBankStatement("main_word") + ";" + CreateBankStatement("main_remember") + ";commit;";
    int rc = sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    state.notice =
        rc == SQLITE_OK
            ? "词库文件 " + bankFile + " 是空的：已在其中建好默认词库 main_word 和背诵列表 main_remember。"
            : "词库文件 " + bankFile + " 是空的，也没能在其中建好默认词库（" + std::string(sqlite3_errstr(rc)) + "）。";
    return state;
  }
  sqlite3_close(db);
  if (tables == 0) {
    state.readOnlyBanner = "词库文件只读，而且是空的";
    state.notice = readOnlyNotice + "，而且是空的：里面没有单词，也不能添加。";
    return state;
  }
  if (tables > 0 && mainWord == 0 && wordLayout == 0) {
    state.readOnlyBanner = "这不是 quorvo 的词库文件，只能查看";
    state.notice = "词库文件 " + bankFile +
                   " 不是 quorvo 的词库（里面没有 main_word，也没有单词表）。为了不改动它，quorvo 只读打开。";
    return state;
  }
  if (!writable) {
    state.readOnlyBanner = "词库文件只读，只能查看，不能修改";
    state.notice = readOnlyNotice + "（" + std::strerror(denied) + "）：quorvo 只能查看单词，不能添加、修改或复习。";
  }
  return state;
}

namespace {
std::string& ChosenBankFile() {
  static std::string file = kBankName;
  return file;
}
}  // namespace

const std::string& BankFile() { return ChosenBankFile(); }
void SetBankFile(std::string path) { ChosenBankFile() = std::move(path); }

}  // namespace quorvo
