// DownloadFile: saves the body of one HTTP GET to a local file.
//
// Blocking; every call opens its own connection and keeps nothing, so it may
// run on any thread. http:// and https:// URLs are fetched; https checks the
// server's certificate against the system's CA store, plus the CA file that
// QUORVO_CA_FILE names (the environment variable, else the build setting of
// that name) when there is one. At most kMaxRedirects redirects are
// followed, and only to the same scheme, host and port.
// The local file is created only after the server answered 200, always as a
// new file (an existing file or link at the path makes the download fail,
// so nothing is ever written through a planted link), and the body is
// streamed to it in pieces of at most kDownloadPieceBytes. A download that
// fails after the file was created removes it: no partial copy stays.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "base/status.h"

namespace quorvo {

// The largest piece of the body read and written at a time.
inline constexpr size_t kDownloadPieceBytes = 64 * 1024;
inline constexpr int kMaxRedirects = 3;
// Names an extra CA file for https (tests' own CA).
inline constexpr char kCaFileVariable[] = "QUORVO_CA_FILE";

// A URL as the HTTP client splits it for the request.
struct DownloadTarget {
  std::string scheme;  // "http" or "https"
  std::string host;
  int port = 80;
  std::string path;  // path and query, beginning with "/"
};

// Splits an absolute http:// or https:// URL the way the transfer will
// (the scheme in lower case); nullopt for
// anything else (another scheme, no host, a malformed URL, bytes that would
// break the request line). DownloadFile refuses such a URL before any
// network access.
std::optional<DownloadTarget> SplitDownloadUrl(const std::string& url);

struct DownloadOptions {
  long connectTimeoutMs = 2000;  // per connect attempt
  int connectRetries = 1;        // further attempts after a failed connect
  // A transfer that moves no byte for this long (waiting for the answer
  // included) fails instead of hanging forever.
  long stallSeconds = 60;
  // A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds (a
  // server that drips) fails.
  long lowSpeedBytesPerSecond = 1024;
  long lowSpeedSeconds = 15;
  // The most body bytes accepted; a larger answer (announced or sent) fails
  // before more is written. -1: no limit.
  long long maxBytes = -1;
  // The body's exact size (a signed size): an answer announcing another
  // length is refused before the file is made, the first byte beyond it ends
  // the transfer at once, and a body that ends short of it fails. -1: not
  // known.
  long long expectedBytes = -1;
  // When set and it turns true, the transfer ends within about a second and
  // the call fails (waiting for a connection or an answer included).
  const std::atomic<bool>* cancel = nullptr;
};

// What one call saw; for callers and tests that want more than the boolean.
struct DownloadReport {
  int connectAttempts = 0;
  long status = 0;      // the last HTTP status, 0 when none arrived
  long long bytes = 0;  // body bytes written to the local file
};

// Ok when the server answered 200 and the whole body reached the file: the
// body is as long as the answer's Content-Length (when it gives one) and as
// options.expectedBytes (when set), every write succeeded and the file
// closed cleanly. Otherwise the file made for it is gone again and the
// Status says why: kRefused for a URL that is not http(s) or an empty path
// (no network access then) and for a body longer than allowed, kNotFound
// for a 404 or 410, kDiskFull or kReadOnly when the file cannot be written,
// kCancelled when options.cancel ended it, kIoError for the rest (no
// connection, another status, a cut or stalled body).
Status DownloadFile(const std::string& url, const std::string& localPath);
Status DownloadFile(const std::string& url, const std::string& localPath, const DownloadOptions& options,
                    DownloadReport* report = nullptr);

}  // namespace quorvo
