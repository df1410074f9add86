// UpdateManifest: what the update server offers (webconfig.ini), as renova
// reads it. FetchManifest downloads the file into the AppFolder and
// LoadManifest reads it against the local config.ini.
//
// Plain functions of the window thread; they touch only the given folder.
#pragma once

#include <string>
#include <vector>

#include "download_file.h"

namespace quorvo {

// One listed file. Beside file_%d a manifest may publish sha256_%d and
// size_%d; a downloaded copy that disagrees with them is never installed.
struct ManifestEntry {
  std::string url;      // at most 511 bytes
  std::string sha256;   // lowercase hexadecimal; empty when not published
  long long size = -1;  // -1 when not published
};

struct UpdateManifest {
  int newVersion = 1;                // version of webconfig.ini, default 1
  std::vector<ManifestEntry> files;  // in key order; empty: nothing to do
};

// Deletes folder + "/webconfig.ini" and downloads a fresh copy from
// serverBase + "/lexmuse/webconfig.ini". A copy that did not arrive whole is
// deleted too, so a cut manifest can never pass for a complete one.
void FetchManifest(const std::string& folder, const std::string& serverBase,
                   const DownloadOptions& options = DownloadOptions());

// Reads the local version (config.ini, default 0) and the new one
// (webconfig.ini, default 1). Equal: deletes webconfig.ini and lists no file.
// Otherwise lists file_1 .. file_<file_count>, skipping keys that are
// missing or whose value contains "no file".
UpdateManifest LoadManifest(const std::string& folder);

class IniFile;
// The reading behind LoadManifest, on a webconfig.ini already loaded and the
// local version; touches no file.
UpdateManifest ManifestFromIni(const IniFile& web, int localVersion);

// The leading decimal digits of a text as a 64-bit number (0 when none).
long long LeadingSize(const std::string& text);

}  // namespace quorvo
