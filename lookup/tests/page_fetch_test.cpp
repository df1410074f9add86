#include "lookup/page_fetch.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "testing/loopback_server.h"

namespace quorvo {
namespace {

using Decisions = std::vector<ChunkDecision>;
constexpr ChunkDecision K = ChunkDecision::Keep;
constexpr ChunkDecision D = ChunkDecision::Drop;
constexpr ChunkDecision S = ChunkDecision::Stop;

const std::string kStart(kStartMarker);
const std::string kEnd(kEndMarker);
const std::string kError(kErrorMarker);

struct ChunkRun {
  Decisions decisions;
  std::string page;
  int result;
};

// Feeds the chunks to a fresh collector until one stops the exchange.
ChunkRun Collect(const std::vector<std::string>& chunks) {
  char page[kPageBufferBytes] = {};
  PageCollector collector(page);
  ChunkRun run;
  for (const auto& chunk : chunks) {
    run.decisions.push_back(HandleChunk(collector, chunk));
    if (run.decisions.back() == ChunkDecision::Stop) break;
  }
  run.page = page;
  EXPECT_EQ(run.page.size(), collector.length);
  run.result = collector.result;
  return run;
}

TEST(PageFetchTest, ChunkRules) {
  const std::string full(512, 'f');
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    Decisions decisions;
    std::string page;
    int result;
  } cases[] = {
      {"chunks before the start marker are dropped",
       {"HTTP/1.1 200 OK", "<p>" + kStart + "x"},
       {D, K},
       "<p>" + kStart + "x",
       1},
      {"start and end in one chunk keep exactly that chunk",
       {"head", "a" + kStart + "n.<i>  go<b>" + kEnd + "z", "after"},
       {D, K, S},
       "a" + kStart + "n.<i>  go<b>" + kEnd + "z",
       1},
      {"start through end are kept, the chunk after ends the exchange",
       {kStart + "1", "2", "3" + kEnd, "4 " + kStart, "5"},
       {K, K, K, S},
       kStart + "123" + kEnd,
       1},
      {"an end marker before the start keeps nothing", {"x" + kEnd, kStart + "y", "z"}, {D, S}, "", 1},
      {"the error marker in the chunk after the end gives -1",
       {kStart + kEnd, "<p>" + kError + "</p>"},
       {K, S},
       kStart + kEnd,
       -1},
      {"the error marker first gives -1 and an empty page", {kError + kStart + kEnd}, {S}, "", -1},
      {"an error marker keeps what came before", {kStart + "a", "b" + kError}, {K, S}, kStart + "a", -1},
      {"a marker split across two chunks is not seen", {"..blue12", "other\">..", kEnd}, {D, D, D}, "", 1},
      {"a chunk is its text up to a NUL byte",
       {kStart + "ab" + std::string(1, '\0') + "cd" + kEnd, "ef", "g" + kEnd, "h"},
       {K, K, K, S},
       kStart + "abefg" + kEnd,
       1},
      {"a chunk that leaves no room for the terminator ends the exchange",
       {kStart + std::string(512 - kStart.size(), 's'), full, full, full, full, std::string(511, 'l'), "x"},
       {K, K, K, K, K, K, S},
       kStart + std::string(512 - kStart.size(), 's') + full + full + full + full + std::string(511, 'l'),
       1},
      {"one byte too many is not kept",
       {kStart + std::string(512 - kStart.size(), 's'), full, full, full, full, full},
       {K, K, K, K, K, S},
       kStart + std::string(512 - kStart.size(), 's') + full + full + full + full,
       1},
  };
  for (const auto& c : cases) {
    ChunkRun run = Collect(c.chunks);
    EXPECT_EQ(c.decisions, run.decisions) << c.name;
    EXPECT_EQ(c.page, run.page) << c.name;
    EXPECT_EQ(c.result, run.result) << c.name;
  }
}

TEST(PageFetchTest, UrlSplitsIntoHostAndTarget) {
  struct Case {
    std::string url, host, target;
  } cases[] = {
      {"127.0.0.1:8666/m/search?q=go", "127.0.0.1:8666", "/m/search?q=go"},
      {"dict.example/", "dict.example", "/"},
      {"dict.example", "dict.example", "/"},
      {"/m/search?q=go", "", "/m/search?q=go"},
      {"", "", "/"},
      {"h/" + std::string(600, 'x'), "h", "/" + std::string(509, 'x')},  // 511 characters of the URL
  };
  for (const auto& c : cases) {
    UrlParts parts = SplitUrl(c.url);
    EXPECT_EQ(c.host, parts.host) << c.url;
    EXPECT_EQ(c.target, parts.target) << c.url;
  }
}

TEST(PageFetchTest, RequestTextIsExactAndFits511Characters) {
  EXPECT_EQ(
      "GET /m/search?q=go HTTP/1.1\r\nHOST: dict.example:81\r\nAccept: */*\r\n"
      "User-Agent: Mozilla/4.0(compatible)\r\nConnection: close\r\n\r\n",
      BuildPageRequest("dict.example:81", "/m/search?q=go"));
  // The fixed parts take 94 bytes: host and target share the other 417.
  EXPECT_EQ(511u, BuildPageRequest(std::string(200, 'h'), "/" + std::string(216, 't')).size());
  EXPECT_EQ("", BuildPageRequest(std::string(200, 'h'), "/" + std::string(217, 't')));
}

TEST(PageFetchTest, HostCarriesAnOptionalPort) {
  struct Case {
    std::string host;
    bool ok;
    std::string name;
    int port;
  } cases[] = {
      {"dict.example", true, "dict.example", 80},
      {"127.0.0.1:8666", true, "127.0.0.1", 8666},
      {"h:65535", true, "h", 65535},
      {"h:65536", false, "", 0},
      {"h:0", false, "", 0},
      {"h:", false, "", 0},
      {":80", false, "", 0},
      {"", false, "", 0},
      {"h:8x", false, "", 0},
      {"h:-1", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string name;
    int port = 0;
    EXPECT_EQ(c.ok, SplitHostPort(c.host, &name, &port)) << c.host;
    if (c.ok) {
      EXPECT_EQ(c.name, name) << c.host;
      EXPECT_EQ(c.port, port) << c.host;
    }
  }
}

// A server that answers with chosen chunks, each sent only after the client
// has received the one before, so every receive sees exactly one chunk.
struct PacedExchange {
  std::vector<std::string> chunks;  // sent by the server
  bool closeAfterLast = true;

  std::string requestHead;
  std::vector<std::string> received;  // as the client saw them
  std::vector<ChunkDecision> decisions;
  std::string page;
  int result = 0;

  void Run() {
    testing::Checkpoint clientRead;
    std::mutex headMutex;
    testing::LoopbackServer server([&](testing::LoopbackConnection& connection) {
      std::string head = connection.ReadRequestHead();
      {
        std::lock_guard lock(headMutex);
        requestHead = head;
      }
      for (size_t i = 0; i < chunks.size(); ++i) {
        if (!connection.Send(chunks[i]) || !clientRead.WaitFor(static_cast<int>(i) + 1)) return;
      }
      if (!closeAfterLast) connection.WaitForPeerClose();
    });
    FetchOptions options;
    options.receiveTimeoutMs = 20000;  // never reached: the pacing decides
    options.onChunk = [&](std::string_view chunk, ChunkDecision decision) {
      received.emplace_back(chunk);
      decisions.push_back(decision);
      clientRead.Arrive();
    };
    char buffer[kPageBufferBytes];
    std::memset(buffer, 'X', sizeof buffer);  // the fetch zero-fills it
    result = FetchDictionaryPage(server.HostPort() + "/m/search?q=run", buffer, options);
    clientRead.Finish();
    server.Stop();
    page = buffer;
    std::lock_guard lock(headMutex);
    EXPECT_EQ("GET /m/search?q=run HTTP/1.1\r\nHOST: " + server.HostPort() +
                  "\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0(compatible)\r\nConnection: close\r\n\r\n",
              requestHead);
  }
};

TEST(PageFetchTest, SocketKeepsTheChunksFromStartToEndMarker) {
  PacedExchange exchange;
  exchange.chunks = {"HTTP/1.1 200 OK\r\n\r\n<html>", "<li>" + kStart + "v.</em>  to go", "<br/>" + kEnd + "</div>",
                     "<p>after the end</p>", "never read"};
  exchange.Run();
  std::vector<std::string> expectedReceived(exchange.chunks.begin(), exchange.chunks.begin() + 4);
  EXPECT_EQ(expectedReceived, exchange.received);
  EXPECT_EQ((Decisions{D, K, K, S}), exchange.decisions);
  EXPECT_EQ(exchange.chunks[1] + exchange.chunks[2], exchange.page);
  EXPECT_EQ(1, exchange.result);
}

TEST(PageFetchTest, SocketStopsOnTheErrorMarker) {
  PacedExchange exchange;
  exchange.chunks = {kStart + "kept", "<p>" + kError + "</p>", "never read"};
  exchange.closeAfterLast = false;
  exchange.Run();
  EXPECT_EQ((Decisions{K, S}), exchange.decisions);
  EXPECT_EQ(kStart + "kept", exchange.page);
  EXPECT_EQ(-1, exchange.result);
}

TEST(PageFetchTest, SocketKeepsWhatCameWhenThePeerCloses) {
  PacedExchange exchange;
  exchange.chunks = {"<p>" + kStart + "n.</em> one", " two"};
  exchange.Run();
  EXPECT_EQ((Decisions{K, K}), exchange.decisions);
  EXPECT_EQ(exchange.chunks[0] + exchange.chunks[1], exchange.page);
  EXPECT_EQ(1, exchange.result);
}

TEST(PageFetchTest, SilentServerEndsTheExchangeAtTheReceiveTimeout) {
  testing::LoopbackServer server([](testing::LoopbackConnection& connection) {
    connection.ReadRequestHead();
    connection.WaitForPeerClose();
  });
  FetchOptions options;
  options.receiveTimeoutMs = 200;
  char page[kPageBufferBytes];
  EXPECT_EQ(1, FetchDictionaryPage(server.HostPort() + "/m/search?q=go", page, options));
  EXPECT_EQ("", std::string(page));
}

TEST(PageFetchTest, TricklingServerIsCutOffByTheExchangeBound) {
  testing::LoopbackServer server([](testing::LoopbackConnection& connection) {
    connection.ReadRequestHead();
    while (connection.Send("no markers here ")) {
    }
  });
  FetchOptions options;
  options.exchangeTimeoutMs = 300;
  int chunks = 0;
  options.onChunk = [&](std::string_view, ChunkDecision) { ++chunks; };
  char page[kPageBufferBytes];
  EXPECT_EQ(1, FetchDictionaryPage(server.HostPort() + "/m/search?q=go", page, options));
  EXPECT_EQ("", std::string(page));
  EXPECT_GT(chunks, 0);
}

TEST(PageFetchTest, UnreachableOrUnusableHostsGiveAnEmptyPage) {
  std::string closedHost;
  {
    testing::LoopbackServer server([](testing::LoopbackConnection&) {});
    closedHost = server.HostPort();
  }
  for (const std::string& url : {closedHost + "/m/search?q=go", std::string("127.0.0.1:0/m"),
                                 std::string("127.0.0.1:99999/m"), std::string("/m/search?q=go")}) {
    char page[kPageBufferBytes];
    std::memset(page, 'X', sizeof page);
    EXPECT_EQ(1, FetchDictionaryPage(url, page)) << url;
    EXPECT_EQ("", std::string(page)) << url;
  }
}

// A name lookup for the fetch that answers 127.0.0.1 once it is let go (or
// after ten seconds), and counts the names it was asked for.
struct SlowNameService {
  std::shared_ptr<std::promise<void>> release = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = release->get_future().share();
  std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);

  NameResolver Resolver(bool waits) const {
    return [released = released, calls = calls, waits](const std::string& name, uint32_t* ipv4) {
      ++*calls;
      if (waits) released.wait_for(std::chrono::seconds(10));
      *ipv4 = htonl(INADDR_LOOPBACK);
      return name == "dict.example";
    };
  }
  ~SlowNameService() { release->set_value(); }
};

std::string PortOf(const std::string& hostPort) { return hostPort.substr(hostPort.rfind(':')); }

void ServeOnePage(testing::LoopbackConnection& connection) {
  connection.ReadRequestHead();
  connection.Send(kStart + "n.<span> go<br>" + kEnd);
}

TEST(PageFetchTest, ASlowNameLookupIsGivenUpWithinTheBounds) {
  testing::LoopbackServer server(ServeOnePage);
  struct Case {
    const char* name;
    int connectTimeoutMs;
    int exchangeTimeoutMs;
  } cases[] = {
      {"the exchange's bound", 5000, 300},
      {"the connect time-out", 300, 15000},
  };
  for (const auto& c : cases) {
    SlowNameService names;
    FetchOptions options;
    options.connectTimeoutMs = c.connectTimeoutMs;
    options.exchangeTimeoutMs = c.exchangeTimeoutMs;
    options.resolve = names.Resolver(/*waits=*/true);
    char page[kPageBufferBytes];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, FetchDictionaryPage("dict.example" + PortOf(server.HostPort()) + "/m/search?q=go", page, options))
        << c.name;
    // The lookup is held for ten seconds; the fetch must not wait for it.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    EXPECT_EQ("", std::string(page)) << c.name;
  }
  EXPECT_EQ(0, server.ConnectionCount());
}

TEST(PageFetchTest, NameLookupAnswersAreUsedAndNumericHostsAreNotLookedUp) {
  testing::LoopbackServer server(ServeOnePage);
  struct Case {
    const char* name;
    std::string host;
    std::string page;
    int lookups;
  } cases[] = {
      {"a name the service knows", "dict.example" + PortOf(server.HostPort()), kStart + "n.<span> go<br>" + kEnd, 1},
      {"a name it does not know", "other.example" + PortOf(server.HostPort()), "", 1},
      {"a numeric address", server.HostPort(), kStart + "n.<span> go<br>" + kEnd, 0},
  };
  for (const auto& c : cases) {
    SlowNameService names;
    FetchOptions options;
    options.resolve = names.Resolver(/*waits=*/false);
    char page[kPageBufferBytes];
    EXPECT_EQ(1, FetchDictionaryPage(c.host + "/m/search?q=go", page, options)) << c.name;
    EXPECT_EQ(c.page, std::string(page)) << c.name;
    EXPECT_EQ(c.lookups, names.calls->load()) << c.name;
  }
}

}  // namespace
}  // namespace quorvo
