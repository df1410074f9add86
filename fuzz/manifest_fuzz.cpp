// Any bytes as webconfig.ini, read against a local version: the file list
// holds only usable URLs of at most 511 bytes, in key order, never more
// entries than the manifest has keys, and nothing when the versions agree.
// Every entry's local name is either refused or a plain name of the folder.
// Read as a signed manifest, it lists files only for a newer version, each
// with a 64-digit digest and a size, or is refused as a whole.
#include <cstdint>
#include <string>

#include "update/ini_file.h"
#include "update/update_manifest.h"
#include "update/update_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int localVersion = static_cast<int8_t>(data[0]);  // a few versions, negative ones too
  std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  quorvo::IniFile web;
  if (!web.LoadText(content)) return 0;
  quorvo::UpdateManifest manifest = quorvo::ManifestFromIni(web, localVersion);
  if (manifest.newVersion == localVersion && !manifest.files.empty()) __builtin_trap();
  if (manifest.files.size() > web.Keys("update").size()) __builtin_trap();
  for (const quorvo::ManifestEntry& entry : manifest.files) {
    if (entry.url.size() > 511 || entry.url.find("no file") != std::string::npos) __builtin_trap();
    if (entry.size < -2) __builtin_trap();
    std::string name = quorvo::InstalledName(quorvo::LocalNameOfUrl(entry.url));
    if (!quorvo::IsPlainFileName(name)) continue;
    // A name that passes stays inside the folder it is joined to.
    if (name[0] != '/' || name.find('/', 1) != std::string::npos || name == "/." || name == "/..") __builtin_trap();
  }
  quorvo::UpdateManifest signedRead = quorvo::ManifestFromIni(web, localVersion, true);
  if (!signedRead.files.empty()) {
    if (signedRead.newVersion <= localVersion) __builtin_trap();
    if (signedRead.refusal != quorvo::ManifestRefusal::kNone) __builtin_trap();
    if (signedRead.renovaSha256.size() != 64 || signedRead.renovaSize < 0) __builtin_trap();
    for (const quorvo::ManifestEntry& entry : signedRead.files)
      if (entry.sha256.size() != 64 || entry.size < 0) __builtin_trap();
  }
  if (signedRead.files.size() > manifest.files.size()) __builtin_trap();
  return 0;
}
