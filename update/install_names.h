// The names an update installs: the local name of each listed URL, the
// names an update may never replace, and the check that no two entries of
// one manifest end up as the same file.
//
// Pure functions of their texts, except FirstSharedName, which also looks at
// the folder (stat only). Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "update/update_manifest.h"

namespace quorvo {

// The URL's text from its last "/" on, that "/" included; empty when the
// URL holds no "/".
std::string LocalNameOfUrl(const std::string& url);
// The name a file is installed under: the published name of the word
// application ("/lexmuse") becomes its own ("/quorvo").
std::string InstalledName(const std::string& localName);
// The installed name of a manifest entry: InstalledName(LocalNameOfUrl()).
std::string InstalledNameOf(const ManifestEntry& entry);
// True for the names an update may never replace, in any letter case:
// "/config.ini", the word banks ("/dict_main.db" and its journals), and the
// updater's own staging folder and lock file.
bool IsProtectedName(const std::string& localName);
// True when the name (after its leading "/") is a plain file name once
// percent-decoded: not empty, not "." or "..", no "/", "\" or NUL.
bool IsPlainFileName(const std::string& localName);

// The index of the first entry whose installed name is one file with an
// earlier entry's: the same name (so also "lexmuse" beside "quorvo"), the
// same once percent-decoded, the same but for letter case (one file on a
// folder that ignores case), or, when folder is not empty, two names of
// folder that are one file already (a link to the other, a hard link).
// nullopt when every entry names a file of its own.
std::optional<size_t> FirstSharedName(const std::string& folder, const std::vector<ManifestEntry>& files);

}  // namespace quorvo
