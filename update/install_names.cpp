#include "update/install_names.h"

#include <sys/stat.h>

#include <cctype>
#include <map>
#include <utility>

#include "base/percent_decode.h"
#include "update/update_names.h"

namespace quorvo {
namespace {

std::string FoldedName(const std::string& installedName) {
  std::string name = *PercentDecode(installedName);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

}  // namespace

std::string LocalNameOfUrl(const std::string& url) {
  size_t slash = url.rfind('/');
  if (slash == std::string::npos) return "";
  return url.substr(slash);
}

std::string InstalledName(const std::string& localName) {
  static const std::string published = std::string("/") + kPublishedWordAppExe;
  if (localName == published) return std::string("/") + kWordAppExe;
  return localName;
}

std::string InstalledNameOf(const ManifestEntry& entry) { return InstalledName(LocalNameOfUrl(entry.url)); }

bool IsProtectedName(const std::string& localName) {
  static const char* const kProtected[] = {"/config.ini",       "/dict_main.db",     "/dict_main.db-journal",
                                           "/dict_main.db-wal", "/dict_main.db-shm", kStagingFolder,
                                           kRenovaLockFile};
  std::string folded = localName;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* name : kProtected)
    if (folded == name) return true;
  return false;
}

bool IsPlainFileName(const std::string& localName) {
  if (localName.empty() || localName[0] != '/') return false;
  std::string name = *PercentDecode(localName.substr(1));
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<size_t> FirstSharedName(const std::string& folder, const std::vector<ManifestEntry>& files) {
  std::map<std::string, size_t> names;
  std::map<std::pair<dev_t, ino_t>, size_t> installed;
  for (size_t index = 0; index < files.size(); ++index) {
    const std::string name = InstalledNameOf(files[index]);
    if (!names.emplace(FoldedName(name), index).second) return index;
    struct stat st;
    if (!folder.empty() && IsPlainFileName(name) && stat((folder + name).c_str(), &st) == 0 &&
        !installed.emplace(std::make_pair(st.st_dev, st.st_ino), index).second)
      return index;
  }
  return std::nullopt;
}

}  // namespace quorvo
