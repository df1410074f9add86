#include "startup/app_layout.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/unique_fd.h"

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

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), n);
      size_t cut = path.rfind('/');
      return cut == std::string::npos ? "" : path.substr(0, cut == 0 ? 1 : cut);
    }
    buffer.resize(buffer.size() * 2);
  }
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
std::string& ChosenBankFile() {
  static std::string file = kBankName;
  return file;
}
}  // namespace

const std::string& BankFile() { return ChosenBankFile(); }
void SetBankFile(std::string path) { ChosenBankFile() = std::move(path); }

}  // namespace quorvo
