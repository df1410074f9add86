// FetchDictionaryPage: fetches one word's page from the dictionary's mobile
// search service and keeps only the stretch that carries the translation.
//
// Speaks HTTP/1.1 by hand over a fresh TCP connection: one request text,
// sent at once; the answer read in chunks of at most 512 bytes, each kept or
// dropped by HandleChunk on the strength of three markers found inside the
// chunk itself (a marker split across two chunks is not seen). No status
// line, header, redirect or transfer coding is interpreted.
//
// Threads: reentrant. Every call keeps its state in its own buffers; up to
// four run at once on the pool's workers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvo {

// The caller's page buffer: kept chunks, zero-terminated (3071 characters).
inline constexpr size_t kPageBufferBytes = 3072;
inline constexpr size_t kChunkBytes = 512;
// URL, host, target and request text each fit 511 characters.
inline constexpr size_t kRequestPartBytes = 512;

// Markers, compared byte for byte inside one chunk.
inline constexpr std::string_view kStartMarker = "blue12other\">";
inline constexpr std::string_view kEndMarker = "id=\"listtrans\"";
inline constexpr std::string_view kErrorMarker = "\xB3\xF6\xB4\xED";  // "出错" in GBK

// Result codes: the exchange ran to its end (whatever it found, also after
// a failed connection); the error marker was seen. (-2, "the socket layer
// could not be started", has no cause on this platform.)
inline constexpr int kFetchDone = 1;
inline constexpr int kFetchErrorMarker = -1;

enum class ChunkDecision { Keep, Drop, Stop };

// The receive loop's state between chunks.
struct PageCollector {
  explicit PageCollector(char* pageBuffer) : page(pageBuffer) {}
  char* page;               // kPageBufferBytes bytes
  size_t length = 0;        // page text so far
  bool collecting = false;  // the start marker has been seen
  bool endSeen = false;     // the end marker has been seen
  int result = kFetchDone;
};

// Decides about one received chunk, taken as text up to its first NUL byte:
// error marker -> Stop (result -1); end marker seen earlier -> Stop; start
// marker -> collecting; end marker -> end seen; not collecting -> Drop; no
// room left for the chunk and the terminating NUL -> Stop; otherwise the
// chunk is appended -> Keep.
ChunkDecision HandleChunk(PageCollector& state, std::string_view received);

// The URL cut into host ("127.0.0.1:8666") and request target ("/m/...").
// A URL without "/" has the target "/"; one that starts with "/" has no
// host and is all target. At most 511 characters of the URL are used.
struct UrlParts {
  std::string host;
  std::string target;
};
UrlParts SplitUrl(std::string_view url);

// The request text; empty when it would not fit 511 characters.
std::string BuildPageRequest(std::string_view host, std::string_view target);

// "name[:port]" into its parts; port 80 when none is given. False for an
// empty name or a port that is not a number from 1 to 65535.
bool SplitHostPort(std::string_view host, std::string* name, int* port);

// Looks up a host name's IPv4 address (network byte order); false when it
// has none. May block; the fetch runs it on a helper thread.
using NameResolver = std::function<bool(const std::string& name, uint32_t* ipv4)>;

struct FetchOptions {
  // A silent server or name service holds a worker at most this long per
  // step (name lookup and connect share connectTimeoutMs); the whole
  // exchange, name lookup included, is bounded as well, so a server that
  // trickles bytes cannot hold it either.
  int connectTimeoutMs = 5000;
  int receiveTimeoutMs = 5000;
  int exchangeTimeoutMs = 15000;
  // Called after each chunk with the bytes received and the decision; for
  // tests that pace a server by what the client has read.
  std::function<void(std::string_view chunk, ChunkDecision decision)> onChunk;
  // The name lookup; empty: the system's resolver. A numeric address is used
  // as it is and never looked up. A lookup still running when its time is up
  // is given up: its helper thread ends on its own and its answer is dropped.
  NameResolver resolve;
};

// Why an exchange did not deliver a whole answer. None: the server answered
// and closed (or the end marker came), whether or not the word has a
// translation. A lookup that failed must not be taken for "the dictionary
// does not know the word".
enum class FetchFailure {
  None,
  Unreachable,  // the host could not be resolved, no socket, or the request could not be sent
  Refused,      // nothing listens there (the connection was refused)
  TimedOut,     // connecting, a read or the whole exchange ran out of time
  ErrorMarker,  // the page carried the error marker
  Cut,          // the answer was empty, broke off, or ended inside the translation
};

// Fetches the page of url (host and target, no scheme; at most 511
// characters are used) into page, which has kPageBufferBytes bytes and is
// zero-filled here. Returns kFetchDone or kFetchErrorMarker. A host that
// cannot be resolved, a refused connection or a time-out end with the page
// text kept so far (as a rule none) and kFetchDone; *failure (when given)
// tells them apart.
int FetchDictionaryPage(std::string_view url, char* page, const FetchOptions& options = {},
                        FetchFailure* failure = nullptr);

}  // namespace quorvo
