// UpdateManifest: what the update server offers (webconfig.ini), as renova
// reads it. FetchManifest downloads the file into the AppFolder and
// LoadManifest reads it against the local config.ini.
//
// On the signed road (a release key built in) a manifest is used only when
// webconfig.ini.sig beside it is the key's signature of its exact bytes, it
// has not expired (expires=YYYY-MM-DD, the last day it may be used, UTC),
// it offers a version above the installed one, and it publishes the size
// and digest of every file and of renova. On either road a manifest that
// names one file twice, or that has expired, is refused. Manifest and
// signature are read only up to 64 KiB; anything bigger is refused.
//
// Plain functions; they touch only the given folder.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "update/download_file.h"
#include "update/update_trust.h"

namespace quorvo {

// The most bytes of webconfig.ini and of webconfig.ini.sig that are read.
inline constexpr long long kMaxManifestBytes = 64 * 1024;

// One listed file. Beside file_%d a manifest publishes sha256_%d and
// size_%d (optional only on the unsigned road); a downloaded copy that
// disagrees with them is never installed.
struct ManifestEntry {
  std::string url;      // at most 511 bytes
  std::string sha256;   // lowercase hexadecimal; empty when not published
  long long size = -1;  // -1 when not published
};

// Why a manifest offers nothing although the server answered.
enum class ManifestRefusal {
  kNone,
  kNoKey,          // a build without release key and not for the unsigned road
  kBadSignature,   // no signature, or not the release key's over these bytes
  kUnusable,       // too big, unreadable, or a size, digest or expiry date missing
  kExpired,        // its expiry date has passed: the server offers a frozen copy
  kDuplicateName,  // two entries are one file
  kBusy,           // another renova works on the folder
  kUnfinished,     // an interrupted run could be neither finished nor undone
};

struct UpdateManifest {
  int newVersion = 1;                // version of webconfig.ini, default 1
  std::vector<ManifestEntry> files;  // in key order; empty: nothing to do
  bool verified = false;             // the release key's signature checked
  std::string renovaSha256 = "";     // the updater's published digest and size
  long long renovaSize = -1;
  std::string expires;  // "YYYY-MM-DD"; empty when the manifest gives none
  ManifestRefusal refusal = ManifestRefusal::kNone;
};

// The status text (UTF-8) that tells the user about a refusal; empty for
// kNone. The manifest's form names the expiry date of an expired one.
std::string RefusalText(ManifestRefusal refusal);
std::string RefusalText(const UpdateManifest& manifest);

// Deletes folder + "/webconfig.ini" and "/webconfig.ini.sig" and downloads
// fresh copies from serverBase + "/lexmuse/". A copy that did not arrive
// whole, or grew beyond kMaxManifestBytes, is deleted too, so a cut manifest
// can never pass for a complete one. An empty serverBase fetches nothing.
void FetchManifest(const std::string& folder, const std::string& serverBase,
                   const DownloadOptions& options = DownloadOptions());

// Reads the local version (config.ini, default 0) and the new one
// (webconfig.ini, default 1). Unsigned road: equal versions list no file.
// Signed road: the signature must verify and the new version be greater.
// Lists file_1 .. file_<file_count>, skipping keys that are missing or whose
// value contains "no file"; two entries that are one file in folder
// (FirstSharedName) refuse the whole manifest. When nothing is listed,
// webconfig.ini and its signature are deleted.
UpdateManifest LoadManifest(const std::string& folder, const UpdateTrust& trust = BuiltInUpdateTrust());

class IniFile;
// The reading behind LoadManifest, on a webconfig.ini already loaded and the
// local version; touches no file. An expires date before now's UTC date
// refuses the manifest (kExpired) whatever its version, so a frozen copy
// shows up; one that is not a real YYYY-MM-DD date makes it kUnusable. With
// requireDigests (the signed road) the date is required, a version not
// above localVersion lists nothing, and a listed file without a 64-digit
// sha256 or a size, or a missing renova digest or size, makes the whole
// manifest kUnusable. now < 0: the current time.
UpdateManifest ManifestFromIni(const IniFile& web, int localVersion, bool requireDigests = false, std::time_t now = -1);

// The UTC date of a moment as "YYYY-MM-DD".
std::string UtcDate(std::time_t moment);
// True for a real calendar date written "YYYY-MM-DD".
bool IsManifestDate(const std::string& text);

// The leading decimal digits of a text as a 64-bit number (0 when none).
long long LeadingSize(const std::string& text);

}  // namespace quorvo
