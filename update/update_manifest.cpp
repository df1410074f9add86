#include "update/update_manifest.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <set>

#include "base/diagnostics.h"
#include "base/file_util.h"
#include "update/ini_file.h"
#include "update/install_names.h"
#include "update/release_signature.h"
#include "update/update_names.h"
#include "update/update_texts.h"

namespace quorvo {
namespace {

constexpr char kNoFile[] = "no file";

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The n of the "file_<n>" keys that "file_%d" can name, 1 <= n <= count, in
// order. Only keys present are walked, so a huge file_count with one far
// key costs one step, not billions. A key with leading zeros, or with more
// digits than any int has, is never looked up.
std::set<long long> ListedFileNumbers(const IniFile& manifest, long long count) {
  std::set<long long> numbers;
  for (const std::string& key : manifest.Keys(kUpdateSection)) {
    std::string name = Lowercase(key);
    if (name.rfind("file_", 0) != 0) continue;
    std::string digits = name.substr(5);
    if (digits.empty() || digits.size() > 10 || digits[0] == '0') continue;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    long long n = std::stoll(digits);
    if (n <= count) numbers.insert(n);
  }
  return numbers;
}

bool IsSha256Hex(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool IsSize(const std::optional<std::string>& text) {
  return text && !text->empty() && text->size() <= 15 && text->find_first_not_of("0123456789") == std::string::npos;
}

void RemoveManifest(const std::string& folder) {
  unlink((folder + kWebConfigIni).c_str());
  unlink((folder + kWebConfigSig).c_str());
}

UpdateManifest Refused(ManifestRefusal refusal, int localVersion) {
  UpdateManifest manifest;
  manifest.newVersion = localVersion;
  manifest.refusal = refusal;
  return manifest;
}

}  // namespace

long long LeadingSize(const std::string& text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value > (1LL << 58)) return -2;  // far beyond any file: never matches
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string RefusalText(ManifestRefusal refusal) {
  switch (refusal) {
    case ManifestRefusal::kNone:
      return "";
    case ManifestRefusal::kNoKey:
      return texts::kRefusedNoKey;
    case ManifestRefusal::kBadSignature:
      return texts::kRefusedSignature;
    case ManifestRefusal::kUnusable:
      return texts::kRefusedManifest;
    case ManifestRefusal::kExpired:
      return texts::kRefusedExpired;
    case ManifestRefusal::kDuplicateName:
      return texts::kRefusedDuplicateName;
    case ManifestRefusal::kBusy:
      return texts::kRunBusy;
    case ManifestRefusal::kUnfinished:
      return texts::kInterruptedRunStuck;
  }
  return "";
}

std::string RefusalText(const UpdateManifest& manifest) {
  if (manifest.refusal == ManifestRefusal::kExpired && IsManifestDate(manifest.expires)) {
    char text[256];
    std::snprintf(text, sizeof text, texts::kRefusedExpiredOn, manifest.expires.c_str());
    return text;
  }
  return RefusalText(manifest.refusal);
}

std::string UtcDate(std::time_t moment) {
  std::tm parts{};
  gmtime_r(&moment, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
  return text;
}

bool IsManifestDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  std::tm parts{};
  parts.tm_year = std::stoi(text.substr(0, 4)) - 1900;
  parts.tm_mon = std::stoi(text.substr(5, 2)) - 1;
  parts.tm_mday = std::stoi(text.substr(8, 2));
  parts.tm_hour = 12;
  if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1) return false;
  // A day beyond the month's end rolls into the next month: not a date.
  return UtcDate(timegm(&parts)) == text;
}

void FetchManifest(const std::string& folder, const std::string& serverBase, const DownloadOptions& options) {
  RemoveManifest(folder);
  if (serverBase.empty()) return;
  DownloadOptions capped = options;
  capped.maxBytes = kMaxManifestBytes;
  const std::pair<const char*, const char*> parts[] = {{kServerManifest, kWebConfigIni},
                                                       {kServerManifestSig, kWebConfigSig}};
  for (const auto& [remote, local] : parts) {
    std::string path = folder + local;
    if (!DownloadFile(serverBase + remote, path, capped).ok()) unlink(path.c_str());
  }
}

UpdateManifest LoadManifest(const std::string& folder, const UpdateTrust& trust) {
  int localVersion = ReadIniInt(folder + kConfigIni, kUpdateSection, kVersionKey, 0);
  std::string text;
  int error = ReadSmallFile(folder + kWebConfigIni, kMaxManifestBytes, &text);
  UpdateManifest manifest;
  IniFile web;
  if (error == ENOENT) {
    manifest = ManifestFromIni(web, localVersion);  // nothing published: version 1, no file
  } else if (trust.RefusesEverything()) {
    Diagnostic("update refused: this build has no release key (configure QUORVO_UPDATE_PUBLIC_KEY)");
    manifest = Refused(ManifestRefusal::kNoKey, localVersion);
  } else if (error != 0 || !web.LoadText(text)) {
    Diagnostic("update refused: webconfig.ini is unreadable or larger than 64 KiB");
    manifest = Refused(ManifestRefusal::kUnusable, localVersion);
  } else if (!trust.Signed()) {
    manifest = ManifestFromIni(web, localVersion);
  } else {
    std::string signatureText;
    std::optional<std::string> signature;
    if (ReadSmallFile(folder + kWebConfigSig, kMaxManifestBytes, &signatureText) == 0)
      signature = Base64Decode(signatureText);
    if (!signature || !VerifyRelease(trust.publicKey, text, *signature)) {
      Diagnostic("update refused: webconfig.ini does not carry the release key's signature");
      manifest = Refused(ManifestRefusal::kBadSignature, localVersion);
    } else {
      manifest = ManifestFromIni(web, localVersion, true);
      manifest.verified = manifest.refusal == ManifestRefusal::kNone;
      if (manifest.refusal == ManifestRefusal::kUnusable)
        Diagnostic("update refused: the signed webconfig.ini lacks a size, digest or expiry date");
      else if (manifest.refusal == ManifestRefusal::kNone && manifest.newVersion <= localVersion)
        Diagnostic("no update: the signed version " + std::to_string(manifest.newVersion) +
                   " is not above the installed " + std::to_string(localVersion));
    }
  }
  if (manifest.refusal == ManifestRefusal::kExpired)
    Diagnostic("update refused: webconfig.ini expired on " + manifest.expires +
               "; the update server offers an old copy");
  if (std::optional<size_t> shared = FirstSharedName(folder, manifest.files)) {
    Diagnostic("update refused: webconfig.ini lists " + InstalledNameOf(manifest.files[*shared]).substr(1) +
               " a second time (file_" + std::to_string(*shared + 1) + " or before)");
    manifest = Refused(ManifestRefusal::kDuplicateName, localVersion);
  }
  if (manifest.files.empty()) RemoveManifest(folder);
  return manifest;
}

UpdateManifest ManifestFromIni(const IniFile& web, int localVersion, bool requireDigests, std::time_t now) {
  UpdateManifest manifest;
  // The expiry first: a frozen copy usually offers the installed version,
  // and would otherwise pass unnoticed as "nothing to update".
  if (std::optional<std::string> expires = web.Value(kUpdateSection, kExpiresKey)) {
    if (!IsManifestDate(*expires)) return Refused(ManifestRefusal::kUnusable, localVersion);
    if (*expires < UtcDate(now < 0 ? std::time(nullptr) : now)) {
      manifest = Refused(ManifestRefusal::kExpired, localVersion);
      manifest.expires = *expires;
      return manifest;
    }
    manifest.expires = *expires;
  } else if (requireDigests) {
    return Refused(ManifestRefusal::kUnusable, localVersion);
  }
  manifest.newVersion = web.Int(kUpdateSection, kVersionKey, 1);
  if (manifest.newVersion == localVersion) return manifest;
  if (requireDigests && manifest.newVersion < localVersion) return manifest;
  if (requireDigests) {
    manifest.renovaSha256 = Lowercase(web.String(kUpdateSection, kRenovaSha256Key, "", 512));
    std::optional<std::string> renovaSize = web.Value(kUpdateSection, kRenovaSizeKey);
    if (!IsSha256Hex(manifest.renovaSha256) || !IsSize(renovaSize))
      return Refused(ManifestRefusal::kUnusable, localVersion);
    manifest.renovaSize = LeadingSize(*renovaSize);
  }
  long long count = web.Int(kUpdateSection, kFileCountKey, 0);
  for (long long i : ListedFileNumbers(web, count)) {
    std::string n = std::to_string(i);
    std::string url = web.String(kUpdateSection, "file_" + n, kNoFile, 512);
    if (url.find(kNoFile) != std::string::npos) continue;
    ManifestEntry entry;
    entry.url = url;
    entry.sha256 = Lowercase(web.String(kUpdateSection, "sha256_" + n, "", 512));
    std::optional<std::string> size = web.Value(kUpdateSection, "size_" + n);
    if (size) entry.size = LeadingSize(*size);
    if (requireDigests && (!IsSha256Hex(entry.sha256) || !IsSize(size)))
      return Refused(ManifestRefusal::kUnusable, localVersion);
    manifest.files.push_back(std::move(entry));
  }
  return manifest;
}

}  // namespace quorvo
