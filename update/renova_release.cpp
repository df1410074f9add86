// renova-release: the publisher's side of signed updates.
//
//   renova-release keygen --secret FILE --public FILE
//   renova-release publish --secret FILE --version N --base-url URL --out DIR FILE...
//   renova-release verify --public FILE DIR
//
// keygen writes a new Ed25519 key pair: the secret seed (base64, mode 0600)
// and the public key (base64 on one line, the QUORVO_UPDATE_PUBLIC_KEY build
// setting). publish copies the files into DIR under the names the update
// server serves (quorvo as lexmuse), writes webconfig.ini with every size and
// digest and renova's, and webconfig.ini.sig beside it. DIR is what the
// server offers below /lexmuse/, and URL the address DIR is reachable at.
// verify checks a published folder the way quorvo and renova will.
//
// Exit status 0 on success, 1 on a failed check or error, 2 on bad usage.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "update/file_digest.h"
#include "update/ini_file.h"
#include "update/release_signature.h"
#include "update/update_manifest.h"
#include "update/update_names.h"
#include "update/update_run.h"

namespace {

using namespace quorvo;

int Usage() {
  std::fputs(
      "usage: renova-release keygen --secret FILE --public FILE\n"
      "       renova-release publish --secret FILE --version N --base-url URL --out DIR FILE...\n"
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

// Writes a new file (never over an existing one or through a link).
bool WriteNewFile(const std::string& path, const std::string& content, mode_t mode) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!fd) return false;
  return WriteAll(fd.get(), content.data(), content.size()) && fchmod(fd.get(), mode) == 0 && fd.Close();
}

std::optional<std::string> ReadKey(const std::string& path) {
  std::string text;
  if (ReadSmallFile(path, 4096, &text) != 0) return std::nullopt;
  std::optional<std::string> key = Base64Decode(text);
  if (!key || key->size() != kEd25519KeyBytes) return std::nullopt;
  return key;
}

int Keygen(const std::map<std::string, std::string>& options) {
  if (!options.count("secret") || !options.count("public")) return Usage();
  std::optional<ReleaseKeyPair> pair = GenerateReleaseKeyPair();
  if (!pair) return Fail("cannot make a key pair");
  if (!WriteNewFile(options.at("secret"), Base64Encode(pair->secret) + "\n", 0600))
    return Fail("cannot create " + options.at("secret") + " (it must not exist yet)");
  if (!WriteNewFile(options.at("public"), Base64Encode(pair->publicKey) + "\n", 0644))
    return Fail("cannot create " + options.at("public") + " (it must not exist yet)");
  std::printf("public key: %s\n", Base64Encode(pair->publicKey).c_str());
  return 0;
}

int Publish(const std::map<std::string, std::string>& options, const std::vector<std::string>& files) {
  for (const char* name : {"secret", "version", "base-url", "out"})
    if (!options.count(name)) return Usage();
  if (files.empty()) return Usage();
  std::optional<std::string> secret = ReadKey(options.at("secret"));
  if (!secret) return Fail("cannot read the secret key " + options.at("secret"));
  const std::string& version = options.at("version");
  if (version.empty() || version.size() > 9 || version.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(version) < 1)
    return Fail("the version must be a whole number from 1");
  std::string baseUrl = options.at("base-url");
  while (!baseUrl.empty() && baseUrl.back() == '/') baseUrl.pop_back();
  const std::string out = options.at("out");
  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) return Fail("cannot make " + out);

  std::string manifest = "[update]\nversion=" + version + "\nfile_count=" + std::to_string(files.size()) + "\n";
  std::optional<FileDigest> renova;
  int n = 0;
  for (const std::string& file : files) {
    std::string name = "/" + std::filesystem::path(file).filename().string();
    if (IsProtectedName(name) || !IsPlainFileName(name)) return Fail(name.substr(1) + " can never be published");
    // The word application is published under its server name.
    std::string published = name == std::string("/") + kWordAppExe ? std::string("/") + kPublishedWordAppExe : name;
    std::string copy = out + published;
    if (!std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, error) || error)
      return Fail("cannot copy " + file + " to " + copy);
    std::optional<FileDigest> digest = DigestOfFile(copy);
    if (!digest) return Fail("cannot read " + copy);
    if (name == kUpdaterFile) renova = digest;
    std::string i = std::to_string(++n);
    manifest += "file_" + i + "=" + baseUrl + published + "\nsha256_" + i + "=" + digest->sha256 + "\nsize_" + i + "=" +
                std::to_string(digest->size) + "\n";
  }
  if (!renova) return Fail("the files must include renova: quorvo starts only the signed one");
  manifest += std::string(kRenovaSha256Key) + "=" + renova->sha256 + "\n" + kRenovaSizeKey + "=" +
              std::to_string(renova->size) + "\n";
  if (static_cast<long long>(manifest.size()) > kMaxManifestBytes) return Fail("too many files for one manifest");
  std::optional<std::string> signature = SignRelease(*secret, manifest);
  if (!signature) return Fail("cannot sign");
  if (!ReplaceFileAtomically(out + kWebConfigIni, manifest, 0644).ok() ||
      !ReplaceFileAtomically(out + kWebConfigSig, Base64Encode(*signature) + "\n", 0644).ok())
    return Fail("cannot write the manifest into " + out);
  std::printf("published version %s: %d files, signed\n", version.c_str(), n);
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
  if (manifest.refusal != ManifestRefusal::kNone) return Fail("a size or digest is missing");
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
  std::printf("verified version %d: %zu files\n", manifest.newVersion, manifest.files.size());
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
