// renova-release: the publisher's side of signed updates.
//
//   renova-release keygen --secret FILE --public FILE
//   renova-release publish --secret FILE --version N --base-url URL --out DIR
//                          [--expires-days N] FILE...
//   renova-release verify --public FILE DIR
//
// keygen writes a new Ed25519 key pair: the secret seed (base64, mode 0600)
// and the public key (base64 on one line, the QUORVO_UPDATE_PUBLIC_KEY build
// setting); it writes nothing unless both paths are free. publish copies
// the files into DIR under the names the update server serves (quorvo as
// lexmuse), writes webconfig.ini with every size and digest, renova's, and
// the date it expires (today, UTC, plus --expires-days, 30 by default), and
// webconfig.ini.sig beside it. DIR is what the server offers below
// /lexmuse/, and URL the address DIR is reachable at. publish checks every
// name and reads every file before it writes anything, and builds the new
// DIR beside the old one, swapping it in with one rename: a refused or
// failed publish leaves DIR as it was, and the server never serves half a
// release. Files of the old DIR that this release does not name are carried
// over. verify checks a published folder the way quorvo and renova will.
//
// Exit status 0 on success, 1 on a failed check or error, 2 on bad usage.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "update/file_digest.h"
#include "update/ini_file.h"
#include "update/install_names.h"
#include "update/release_signature.h"
#include "update/update_manifest.h"
#include "update/update_names.h"

namespace {

using namespace quorvo;

constexpr int kDefaultExpiryDays = 30;
constexpr int kMostExpiryDays = 3660;

int Usage() {
  std::fputs(
      "usage: renova-release keygen --secret FILE --public FILE\n"
      "       renova-release publish --secret FILE --version N --base-url URL --out DIR\n"
      "                              [--expires-days N] FILE...\n"
      "       renova-release verify --public FILE DIR\n",
      stderr);
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "renova-release: %s\n", message.c_str());
  return 1;
}

// Options "--name value" into a map, the rest in order into plain.
bool ParseArgs(int argc, char** argv, std::map<std::string, std::string>* options, std::vector<std::string>* plain) {
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) == 0) {
      if (i + 1 >= argc) return false;
      (*options)[arg.substr(2)] = argv[++i];
    } else {
      plain->push_back(arg);
    }
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

// Writes a new file (never over an existing one or through a link).
bool WriteNewFile(const std::string& path, const std::string& content, mode_t mode) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!fd) return false;
  return WriteAll(fd.get(), content.data(), content.size()) && fchmod(fd.get(), mode) == 0 && fsync(fd.get()) == 0 &&
         fd.Close();
}

std::optional<std::string> ReadKey(const std::string& path) {
  std::string text;
  if (ReadSmallFile(path, 4096, &text) != 0) return std::nullopt;
  std::optional<std::string> key = Base64Decode(text);
  if (!key || key->size() != kEd25519KeyBytes) return std::nullopt;
  return key;
}

// A whole number from 1 to most, or nullopt.
std::optional<int> Count(const std::string& text, int most) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  int value = std::stoi(text);
  if (value < 1 || value > most) return std::nullopt;
  return value;
}

int Keygen(const std::map<std::string, std::string>& options) {
  if (!options.count("secret") || !options.count("public")) return Usage();
  const std::string& secretPath = options.at("secret");
  const std::string& publicPath = options.at("public");
  // Both or nothing: a secret key without its public half is of no use, and
  // one that replaced an existing key would lock every installation out.
  if (secretPath == publicPath) return Fail("the secret and the public key need two paths");
  for (const std::string& path : {secretPath, publicPath})
    if (Exists(path)) return Fail(path + " exists already: keygen never replaces a key");
  std::optional<ReleaseKeyPair> pair = GenerateReleaseKeyPair();
  if (!pair) return Fail("cannot make a key pair");
  if (!WriteNewFile(secretPath, Base64Encode(pair->secret) + "\n", 0600)) return Fail("cannot create " + secretPath);
  if (!WriteNewFile(publicPath, Base64Encode(pair->publicKey) + "\n", 0644)) {
    unlink(secretPath.c_str());
    return Fail("cannot create " + publicPath);
  }
  std::printf("public key: %s\n", Base64Encode(pair->publicKey).c_str());
  return 0;
}

// Removes a folder this tool made and the plain entries in it.
void RemoveFolder(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// One file of a release: where it comes from, the name the server serves
// it under ("/lexmuse"), and what it holds.
struct ReleaseFile {
  std::string source;
  std::string published;
  FileDigest digest;
};

// Swaps the built folder in at out (an existing out ends up at built) or
// renames it there when there is none. False with errno set.
bool SwapIntoPlace(const std::string& built, const std::string& out, bool outExists) {
  if (!outExists) return renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, out.c_str(), RENAME_NOREPLACE) == 0;
  return renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0;
}

int Publish(const std::map<std::string, std::string>& options, const std::vector<std::string>& sources) {
  for (const char* name : {"secret", "version", "base-url", "out"})
    if (!options.count(name)) return Usage();
  if (sources.empty()) return Usage();

  // Every check first: nothing is written until all of them passed.
  const std::string& secretPath = options.at("secret");
  struct stat keyStat;
  if (stat(secretPath.c_str(), &keyStat) != 0) return Fail("cannot read the secret key " + secretPath);
  if ((keyStat.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(keyStat.st_mode & 07777));
    return Fail("the secret key " + secretPath + " may be read by others (mode " + mode + "): chmod 600 it first");
  }
  std::optional<std::string> secret = ReadKey(secretPath);
  if (!secret) return Fail("cannot read the secret key " + secretPath);
  std::optional<int> version = Count(options.at("version"), 999999999);
  if (!version) return Fail("the version must be a whole number from 1");
  int expiryDays = kDefaultExpiryDays;
  if (options.count("expires-days")) {
    std::optional<int> days = Count(options.at("expires-days"), kMostExpiryDays);
    if (!days) return Fail("--expires-days must be a whole number from 1 to " + std::to_string(kMostExpiryDays));
    expiryDays = *days;
  }
  std::string baseUrl = options.at("base-url");
  while (!baseUrl.empty() && baseUrl.back() == '/') baseUrl.pop_back();
  std::string out = options.at("out");
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  const std::string outName = std::filesystem::path(out).filename().string();
  if (outName.empty() || outName == "." || outName == "..") return Fail("--out must name a folder: " + out);

  std::vector<ReleaseFile> files;
  std::vector<ManifestEntry> entries;
  bool withRenova = false;
  for (const std::string& source : sources) {
    std::string name = "/" + std::filesystem::path(source).filename().string();
    if (IsProtectedName(name) || !IsPlainFileName(name)) return Fail(name.substr(1) + " can never be published");
    // The word application is published under its server name.
    std::string published = name == std::string("/") + kWordAppExe ? std::string("/") + kPublishedWordAppExe : name;
    if (published == kWebConfigIni || published == kWebConfigSig)
      return Fail(name.substr(1) + " is the manifest's own name");
    withRenova = withRenova || name == kUpdaterFile;
    entries.push_back({baseUrl + published, "", -1});
    if (std::optional<size_t> shared = FirstSharedName("", entries))
      return Fail(source + " would be published as " + InstalledNameOf(entries[*shared]).substr(1) + " a second time");
    struct stat st;
    if (stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(source + " is not a file");
    std::optional<FileDigest> digest = DigestOfFile(source);
    if (!digest) return Fail("cannot read " + source);
    files.push_back({source, published, *digest});
  }
  if (!withRenova) return Fail("the files must include renova: quorvo starts only the signed one");

  struct stat outStat;
  bool outExists = lstat(out.c_str(), &outStat) == 0;
  if (!outExists && errno != ENOENT) return Fail("cannot look at " + out + ": " + std::strerror(errno));
  if (outExists && !S_ISDIR(outStat.st_mode)) return Fail(out + " is not a folder (a link is not followed)");
  // What the old folder holds beyond this release is carried over, as long
  // as it is plain files.
  std::set<std::string> releaseNames = {kWebConfigIni, kWebConfigSig};
  for (const ReleaseFile& file : files) releaseNames.insert(file.published);
  std::vector<std::string> carried;
  if (outExists) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
      std::string name = "/" + entry.path().filename().string();
      if (releaseNames.count(name)) continue;
      if (!entry.is_regular_file() || entry.is_symlink())
        return Fail(entry.path().string() + " is not a plain file: move it out of " + out + " first");
      carried.push_back(name);
    }
    if (error) return Fail("cannot read " + out + ": " + error.message());
  }

  std::string manifest =
      "[update]\nversion=" + std::to_string(*version) + "\nfile_count=" + std::to_string(files.size()) + "\n";
  const ReleaseFile* renova = nullptr;
  int n = 0;
  for (const ReleaseFile& file : files) {
    if (file.published == kUpdaterFile) renova = &file;
    std::string i = std::to_string(++n);
    manifest += "file_" + i + "=" + baseUrl + file.published + "\nsha256_" + i + "=" + file.digest.sha256 + "\nsize_" +
                i + "=" + std::to_string(file.digest.size) + "\n";
  }
  const std::string expires = UtcDate(std::time(nullptr) + static_cast<std::time_t>(expiryDays) * 86400);
  manifest += std::string(kRenovaSha256Key) + "=" + renova->digest.sha256 + "\n" + kRenovaSizeKey + "=" +
              std::to_string(renova->digest.size) + "\n" + kExpiresKey + "=" + expires + "\n";
  if (static_cast<long long>(manifest.size()) > kMaxManifestBytes) return Fail("too many files for one manifest");
  std::optional<std::string> signature = SignRelease(*secret, manifest);
  if (!signature) return Fail("cannot sign");

  // Now the new folder, beside the old one.
  const std::filesystem::path parent = std::filesystem::path(out).parent_path();
  std::error_code error;
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  if (error) return Fail("cannot make " + parent.string() + ": " + error.message());
  std::string pattern = (parent / ("." + outName + ".publish-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return Fail("cannot make a folder beside " + out + ": " + std::strerror(errno));
  const std::string built = buffer.data();
  auto abandon = [&built](const std::string& message) {
    RemoveFolder(built);
    return Fail(message);
  };
  if (chmod(built.c_str(), outExists ? (outStat.st_mode & 07777) : 0755) != 0)
    return abandon("cannot set the mode of " + built);
  for (const ReleaseFile& file : files) {
    std::string copy = built + file.published;
    if (!std::filesystem::copy_file(file.source, copy, error) || error)
      return abandon("cannot copy " + file.source + ": " + error.message());
    std::optional<FileDigest> digest = DigestOfFile(copy);
    if (!digest || digest->sha256 != file.digest.sha256 || digest->size != file.digest.size)
      return abandon(file.source + " changed while it was published");
  }
  for (const std::string& name : carried) {
    // A hard link where the folder allows one, a copy otherwise.
    if (link((out + name).c_str(), (built + name).c_str()) != 0 &&
        (!std::filesystem::copy_file(out + name, built + name, error) || error))
      return abandon("cannot carry " + out + name + " over: " + error.message());
  }
  if (!WriteNewFile(built + kWebConfigIni, manifest, 0644) ||
      !WriteNewFile(built + kWebConfigSig, Base64Encode(*signature) + "\n", 0644))
    return abandon("cannot write the manifest into " + built);
  if (!SyncFileSystemOf(built)) return abandon("cannot flush " + built);
  if (!SwapIntoPlace(built, out, outExists))
    return abandon("cannot put the new " + out + " in place: " + std::strerror(errno));
  SyncFolderOf(out);
  if (outExists) RemoveFolder(built);  // the old release
  std::printf("published version %d: %d files, signed, expires %s\n", *version, n, expires.c_str());
  return 0;
}

int Verify(const std::map<std::string, std::string>& options, const std::vector<std::string>& plain) {
  if (!options.count("public") || plain.size() != 1) return Usage();
  std::optional<std::string> publicKey = ReadKey(options.at("public"));
  if (!publicKey) return Fail("cannot read the public key " + options.at("public"));
  const std::string& dir = plain[0];
  std::string text, signatureText;
  if (ReadSmallFile(dir + kWebConfigIni, kMaxManifestBytes, &text) != 0) return Fail("no usable webconfig.ini");
  if (ReadSmallFile(dir + kWebConfigSig, kMaxManifestBytes, &signatureText) != 0)
    return Fail("no usable webconfig.ini.sig");
  std::optional<std::string> signature = Base64Decode(signatureText);
  if (!signature || !VerifyRelease(*publicKey, text, *signature)) return Fail("the signature does not verify");
  IniFile web;
  if (!web.LoadText(text)) return Fail("webconfig.ini cannot be read");
  UpdateManifest manifest = ManifestFromIni(web, 0, true);
  if (manifest.refusal == ManifestRefusal::kExpired)
    return Fail("webconfig.ini expired on " + manifest.expires + ": quorvo and renova refuse it; publish again");
  if (manifest.refusal != ManifestRefusal::kNone) return Fail("a size, digest or expiry date is missing");
  for (const ManifestEntry& entry : manifest.files) {
    std::string name = InstalledNameOf(entry);
    if (!IsPlainFileName(name)) return Fail(entry.url + " names no plain file");
    if (IsProtectedName(name)) return Fail(entry.url + " names " + name.substr(1) + ", which an update never replaces");
  }
  if (std::optional<size_t> shared = FirstSharedName("", manifest.files))
    return Fail(manifest.files[*shared].url + " is one file with an earlier entry");
  int bad = 0;
  auto check = [&](const std::string& path, const std::string& sha256, long long size) {
    std::optional<FileDigest> digest = DigestOfFile(path);
    if (digest && digest->sha256 == sha256 && digest->size == size) return;
    std::fprintf(stderr, "renova-release: %s does not match the manifest\n", path.c_str());
    ++bad;
  };
  for (const ManifestEntry& entry : manifest.files) check(dir + LocalNameOfUrl(entry.url), entry.sha256, entry.size);
  check(dir + kUpdaterFile, manifest.renovaSha256, manifest.renovaSize);
  if (bad) return 1;
  std::printf("verified version %d: %zu files, expires %s\n", manifest.newVersion, manifest.files.size(),
              manifest.expires.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::map<std::string, std::string> options;
  std::vector<std::string> plain;
  if (!ParseArgs(argc, argv, &options, &plain)) return Usage();
  std::string command = argv[1];
  if (command == "keygen") return plain.empty() ? Keygen(options) : Usage();
  if (command == "publish") return Publish(options, plain);
  if (command == "verify") return Verify(options, plain);
  return Usage();
}
