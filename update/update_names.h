// The fixed names of the update road: the two programs, the name under which
// the word application is published, the version files and the places on
// the update server. Executable names carry the platform's suffix.
#pragma once

namespace quorvo {

#ifdef _WIN32
#define QUORVO_EXE_SUFFIX ".exe"
#else
#define QUORVO_EXE_SUFFIX ""
#endif

inline constexpr char kWordAppExe[] = "quorvo" QUORVO_EXE_SUFFIX;
inline constexpr char kUpdaterExe[] = "renova" QUORVO_EXE_SUFFIX;
// The word application's executable as published on the update server; it is
// installed under kWordAppExe.
inline constexpr char kPublishedWordAppExe[] = "lexmuse" QUORVO_EXE_SUFFIX;

// Names below the AppFolder, each beginning with "/".
inline constexpr char kConfigIni[] = "/config.ini";
inline constexpr char kWebConfigIni[] = "/webconfig.ini";
inline constexpr char kWebConfigSig[] = "/webconfig.ini.sig";
// Where a run gathers the new version's files before any is put in place,
// keeps the replaced ones while it puts the new ones in place, and keeps the
// journal that tells the next run how far an interrupted one came.
inline constexpr char kStagingFolder[] = "/.renova-staging";
// The lock file that lets one renova at a time work on a folder.
inline constexpr char kRenovaLockFile[] = "/.renova.lock";
inline constexpr char kUpdaterFile[] = "/renova" QUORVO_EXE_SUFFIX;

// Paths below the update server's base address.
inline constexpr char kServerManifest[] = "/lexmuse/webconfig.ini";
inline constexpr char kServerManifestSig[] = "/lexmuse/webconfig.ini.sig";
inline constexpr char kServerUpdater[] = "/lexmuse/renova" QUORVO_EXE_SUFFIX;

// Section and keys of both version files.
inline constexpr char kUpdateSection[] = "update";
inline constexpr char kVersionKey[] = "version";
inline constexpr char kFileCountKey[] = "file_count";
inline constexpr char kRenovaSha256Key[] = "renova_sha256";
inline constexpr char kRenovaSizeKey[] = "renova_size";
// The last day (UTC, "YYYY-MM-DD") on which a manifest may be used.
inline constexpr char kExpiresKey[] = "expires";

}  // namespace quorvo
