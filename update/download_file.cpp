#include "update/download_file.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "base/file_util.h"

#ifndef QUORVO_CA_FILE_DEFAULT
#define QUORVO_CA_FILE_DEFAULT ""
#endif

namespace quorvo {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

// Receives the body. The local file is opened at the first byte, once the
// status is known to be 200; an empty body opens it after the transfer.
struct BodySink {
  CURL* curl = nullptr;
  std::string path;
  UniqueFd file;
  bool opened = false;
  Status error;  // the first failure seen here: the file, the size
  long long bytes = 0;
  long long limit = -1;          // the most bytes taken; -1: any number
  long long expectedBytes = -1;  // the exact size; -1: not known

  long HttpStatus() const {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
  }
  bool Open() {
    if (HttpStatus() != 200) return false;
    curl_off_t announced = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (limit >= 0 && announced > limit) {
      error = Status(StatusCode::kRefused, "the answer announces " + std::to_string(announced) +
                                               " bytes, more than the " + std::to_string(limit) + " allowed");
      return false;
    }
    if (expectedBytes >= 0 && announced >= 0 && announced != expectedBytes) {
      error = Status(StatusCode::kRefused, "the answer announces " + std::to_string(announced) + " bytes, not the " +
                                               std::to_string(expectedBytes) + " expected");
      return false;
    }
    file = UniqueFd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    opened = static_cast<bool>(file);
    if (!opened) error = ErrnoStatus(errno, path);
    return opened;
  }
};

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<BodySink*>(context);
  size_t length = size * count;
  if (!sink->opened && IsRedirect(sink->HttpStatus())) return length;  // a redirect's own page: dropped
  if (!sink->opened && !sink->Open()) return 0;                        // ends the transfer with a write error
  // A piece that would take the body beyond its limit ends the transfer
  // before any of it is written: a server that sends more than it may never
  // fills the disk.
  if (sink->limit >= 0 && sink->bytes + static_cast<long long>(length) > sink->limit) {
    sink->error = Status(StatusCode::kRefused, "more than " + std::to_string(sink->limit) + " bytes arrived");
    return 0;
  }
  if (!WriteAll(sink->file.get(), data, length)) {
    sink->error = ErrnoStatus(errno, sink->path);
    return 0;
  }
  sink->bytes += static_cast<long long>(length);
  return length;
}

// Ends a transfer that has moved no body byte for the stall time, waiting
// for the answer included. (libcurl's own low-speed limit, also set, judges
// an average over several seconds and so reacts later.)
struct StallWatch {
  std::chrono::steady_clock::duration limit;
  std::chrono::steady_clock::time_point lastProgress = std::chrono::steady_clock::now();
  curl_off_t lastBytes = -1;
  const std::atomic<bool>* cancel = nullptr;
};

int OnProgress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto* watch = static_cast<StallWatch*>(context);
  if (watch->cancel && watch->cancel->load()) return 1;  // non-zero aborts
  auto now = std::chrono::steady_clock::now();
  if (received != watch->lastBytes) {
    watch->lastBytes = received;
    watch->lastProgress = now;
    return 0;
  }
  return now - watch->lastProgress > watch->limit ? 1 : 0;  // non-zero aborts
}

bool IsConnectFailure(CURLcode code, CURL* curl) {
  if (code == CURLE_COULDNT_CONNECT) return true;
  if (code != CURLE_OPERATION_TIMEDOUT) return false;
  // A time-out counts as a failed connect only when no connection was made.
  curl_off_t connected = 0;
  curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
  return connected == 0;
}

struct CurlUrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
  void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text) return std::nullopt;
  std::unique_ptr<char, CurlTextDeleter> owned(text);
  return std::string(text);
}

bool SameHost(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string ExtraCaFile() {
  const char* configured = std::getenv(kCaFileVariable);
  if (configured && *configured) return configured;
  return QUORVO_CA_FILE_DEFAULT;
}

}  // namespace

std::optional<DownloadTarget> SplitDownloadUrl(const std::string& url) {
  if (url.empty() || url.find('\0') != std::string::npos) return std::nullopt;
  std::unique_ptr<CURLU, CurlUrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
  std::optional<std::string> scheme = UrlPart(parsed.get(), CURLUPART_SCHEME);
  std::optional<std::string> host = UrlPart(parsed.get(), CURLUPART_HOST);
  std::optional<std::string> port = UrlPart(parsed.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  std::optional<std::string> path = UrlPart(parsed.get(), CURLUPART_PATH);
  if (!scheme || (*scheme != "http" && *scheme != "https") || !host || host->empty() || !port || !path)
    return std::nullopt;
  DownloadTarget target;
  target.scheme = *scheme;
  target.host = *host;
  target.path = path->empty() ? "/" : *path;
  if (std::optional<std::string> query = UrlPart(parsed.get(), CURLUPART_QUERY)) target.path += "?" + *query;
  // The client decodes a percent-encoded host ("h%7F" is "h" and DEL) and
  // refuses only some control bytes there; none of them belongs in the
  // request's host header or line.
  for (const std::string* part : {&target.host, &target.path})
    for (unsigned char c : *part)
      if (c <= 0x20 || c == 0x7F) return std::nullopt;
  if (port->empty() || port->size() > 5 || port->find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  target.port = std::stoi(*port);
  if (target.port < 1 || target.port > 65535) return std::nullopt;
  return target;
}

Status DownloadFile(const std::string& url, const std::string& localPath) {
  return DownloadFile(url, localPath, DownloadOptions());
}

namespace {

// The smaller of two limits, -1 standing for none.
long long Smaller(long long a, long long b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return a < b ? a : b;
}

}  // namespace

Status DownloadFile(const std::string& url, const std::string& localPath, const DownloadOptions& options,
                    DownloadReport* report) {
  DownloadReport ignored;
  if (!report) report = &ignored;
  *report = DownloadReport();
  if (localPath.empty()) return Status(StatusCode::kRefused, "no local path");
  std::optional<DownloadTarget> origin = SplitDownloadUrl(url);
  if (!origin) return Status(StatusCode::kRefused, "not an http or https URL: " + url);

  InitCurlOnce();
  CurlPtr curl(curl_easy_init());
  if (!curl) return Status(StatusCode::kIoError, "the HTTP client cannot start");
  CURL* c = curl.get();

  // Always ask the server itself: no cached copy anywhere on the way.
  SlistPtr headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
  if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache"))
    return Status(StatusCode::kIoError, "out of memory");

  BodySink sink;
  sink.curl = c;
  sink.path = localPath;
  sink.limit = Smaller(options.maxBytes, options.expectedBytes);
  sink.expectedBytes = options.expectedBytes;
  StallWatch watch{std::chrono::seconds(options.stallSeconds)};
  watch.cancel = options.cancel;

  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, origin->scheme.c_str());
  // Redirects are followed here, one hop at a time, after their target has
  // been checked.
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  std::string caFile = ExtraCaFile();
  if (!caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytesPerSecond);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, options.lowSpeedSeconds);
  // One receive buffer of this size, reused: the body goes to the file piece
  // by piece and never whole into memory. Pieces of 10 KiB cost a read and a
  // write call each and held a 200 MB download to 0.7x the curl tool's
  // speed; 64 KiB pieces match it.
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(kDownloadPieceBytes));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &watch);

  CURLcode code = CURLE_OK;
  long status = 0;
  Status refusedRedirect;
  std::string current = url;
  for (int hop = 0;; ++hop) {
    curl_easy_setopt(c, CURLOPT_URL, current.c_str());
    for (int attempt = 0; attempt <= options.connectRetries; ++attempt) {
      if (options.cancel && options.cancel->load()) break;
      ++report->connectAttempts;
      watch.lastProgress = std::chrono::steady_clock::now();
      watch.lastBytes = -1;
      code = curl_easy_perform(c);
      if (!IsConnectFailure(code, c)) break;
    }
    status = sink.HttpStatus();
    if (code != CURLE_OK || sink.opened || !IsRedirect(status)) break;
    char* location = nullptr;
    curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location);
    std::optional<DownloadTarget> next = location ? SplitDownloadUrl(location) : std::nullopt;
    if (hop >= kMaxRedirects || !next || next->scheme != origin->scheme || next->port != origin->port ||
        !SameHost(next->host, origin->host)) {
      refusedRedirect = Status(StatusCode::kRefused,
                               "a redirect to " + std::string(location ? location : "nowhere") + " was not followed");
      break;
    }
    current = location;
  }

  report->status = status;
  report->bytes = sink.bytes;

  Status result;
  if (options.cancel && options.cancel->load()) {
    result = Status(StatusCode::kCancelled, "the download was stopped");
  } else if (!sink.error.ok()) {
    result = sink.error;
  } else if (!refusedRedirect.ok()) {
    result = refusedRedirect;
  } else if (status != 0 && status != 200) {
    result = Status(status == 404 || status == 410 ? StatusCode::kNotFound : StatusCode::kIoError,
                    "the server answered " + std::to_string(status) + ": " + current);
  } else if (code != CURLE_OK) {
    result = Status(StatusCode::kIoError, std::string(curl_easy_strerror(code)) + ": " + current);
  } else if (!sink.opened && !sink.Open()) {  // 200 with an empty body
    result = sink.error;
  } else {
    curl_off_t announced = -1;
    curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    long long expected = announced >= 0 ? announced : options.expectedBytes;
    if (expected >= 0 && expected != sink.bytes)
      result = Status(StatusCode::kIoError, "the body ended after " + std::to_string(sink.bytes) + " of " +
                                                std::to_string(expected) + " bytes");
  }
  if (sink.opened && !sink.file.Close() && result.ok()) result = ErrnoStatus(errno, localPath);
  // The file was made by this call: a failed download takes it away again.
  if (sink.opened && !result.ok()) unlink(localPath.c_str());
  return result;
}

}  // namespace quorvo
