#include "update/download_file.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "testing/http_fault_server.h"
#include "testing/python_http_server.h"
#include "testing/temp_dir.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::HttpFaultServer;
using testing::PythonHttpServer;
using testing::TempDir;

std::string Pattern(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return body;
}

class DownloadFromPythonServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(site.File("lexmuse"));
    site.Write("lexmuse/big.bin", Pattern(3 * kDownloadPieceBytes + 17));  // several pieces
    site.Write("lexmuse/webconfig.ini", "[update]\nversion=2\n");
    site.Write("empty.txt", "");
    server = std::make_unique<PythonHttpServer>(site.path());
    ASSERT_TRUE(server->running());
  }
  TempDir site;
  TempDir local;
  std::unique_ptr<PythonHttpServer> server;
};

TEST_F(DownloadFromPythonServer, SavesWholeBodiesIntoNewFilesOnly) {
  std::string target = local.File("copy.bin");
  ASSERT_TRUE(DownloadFile(server->Base() + "/lexmuse/big.bin", target).ok());
  EXPECT_EQ(site.Read("lexmuse/big.bin"), local.Read("copy.bin"));
  // The path is taken now: a second download never writes into it.
  EXPECT_FALSE(DownloadFile(server->Base() + "/lexmuse/webconfig.ini", target).ok());
  EXPECT_EQ(site.Read("lexmuse/big.bin"), local.Read("copy.bin"));
  // An empty body makes an empty file.
  ASSERT_TRUE(DownloadFile(server->Base() + "/empty.txt", local.File("new-empty.txt")).ok());
  EXPECT_TRUE(testing::Exists(local.File("new-empty.txt")));
  EXPECT_EQ("", local.Read("new-empty.txt"));
}

TEST_F(DownloadFromPythonServer, FailuresLeaveTheLocalFileAlone) {
  local.Write("keep.txt", "old content");
  // Missing on the server (404): the existing file is untouched.
  EXPECT_FALSE(DownloadFile(server->Base() + "/lexmuse/missing", local.File("keep.txt")).ok());
  EXPECT_EQ("old content", local.Read("keep.txt"));
  // A folder that does not exist: false after the server answered 200.
  DownloadReport report;
  EXPECT_FALSE(
      DownloadFile(server->Base() + "/lexmuse/big.bin", local.File("no/such/copy.bin"), DownloadOptions(), &report)
          .ok());
  EXPECT_EQ(200, report.status);
}

// A planted link or a device at the path is never written through: the
// download fails and the link's target keeps its bytes.
TEST(DownloadFileTest, ATakenPathIsNeverWrittenThrough) {
  HttpFaultServer server;
  server.Set("/f", HttpFaultServer::Ok(Pattern(50000)));
  TempDir dir;
  dir.Write("target.txt", "outside");
  ASSERT_EQ(0, symlink(dir.File("target.txt").c_str(), dir.File("link").c_str()));
  ASSERT_EQ(0, symlink(dir.File("absent.txt").c_str(), dir.File("dangling").c_str()));
  EXPECT_FALSE(DownloadFile(server.Url("/f"), dir.File("link")).ok());
  EXPECT_FALSE(DownloadFile(server.Url("/f"), dir.File("dangling")).ok());
  EXPECT_FALSE(DownloadFile(server.Url("/f"), "/dev/null").ok());
  EXPECT_EQ("outside", dir.Read("target.txt"));
  EXPECT_FALSE(testing::Exists(dir.File("absent.txt")));
}

// A failed download never leaves a partial copy behind, and says why.
TEST(DownloadFileTest, BrokenAnswersFailAndLeaveNoFile) {
  HttpFaultServer server;
  std::string body = Pattern(40000);
  struct Case {
    const char* name;
    HttpFaultServer::Reply reply;
    StatusCode code;
  } cases[] = {
      {"404", HttpFaultServer::Answer(404, "gone"), StatusCode::kNotFound},
      {"500", HttpFaultServer::Answer(500, "broken"), StatusCode::kIoError},
      {"cut mid-body", HttpFaultServer::Cut(body, 15000), StatusCode::kIoError},
      {"length larger than the body", HttpFaultServer::Cut(body, body.size() - 1), StatusCode::kIoError},
      {"stalls mid-body", HttpFaultServer::Stall(body, 12000), StatusCode::kIoError},
      {"no answer", HttpFaultServer::NoAnswer(), StatusCode::kIoError},
  };
  DownloadOptions quick;
  quick.stallSeconds = 1;
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    std::string path = "/case" + std::to_string(++n);
    server.Set(path, c.reply);
    std::string target = dir.File("target");
    EXPECT_EQ(c.code, DownloadFile(server.Url(path), target, quick).code()) << c.name;
    EXPECT_FALSE(testing::Exists(target)) << c.name;
  }
}

// Bodies against the size the caller knows (a signed size) or allows: the
// first byte beyond it ends the transfer, so an endless body stops at once
// instead of filling the disk; a body that ends short fails too. Nothing
// is left behind.
TEST(DownloadFileTest, BodiesBeyondTheirSizeStopAtOnce) {
  HttpFaultServer server;
  const std::string body = Pattern(19);
  struct Case {
    const char* name;
    HttpFaultServer::Reply reply;
    long long expectedBytes, maxBytes;
    StatusCode code;
  } cases[] = {
      {"an endless body, 19 bytes expected", HttpFaultServer::Endless(), 19, -1, StatusCode::kRefused},
      {"an endless body, at most 1 MiB", HttpFaultServer::Endless(), -1, 1 << 20, StatusCode::kRefused},
      {"20 bytes unannounced, 19 expected", HttpFaultServer::Unannounced(body + "x", 20), 19, -1, StatusCode::kRefused},
      {"a length of 20 announced, 19 expected", HttpFaultServer::Ok(body + "x"), 19, -1, StatusCode::kRefused},
      {"a length of 20 announced, 19 at most", HttpFaultServer::Ok(body + "x"), -1, 19, StatusCode::kRefused},
      {"18 bytes unannounced, 19 expected", HttpFaultServer::Unannounced(body, 18), 19, -1, StatusCode::kIoError},
      {"exactly 19 unannounced", HttpFaultServer::Unannounced(body, 19), 19, -1, StatusCode::kOk},
      {"exactly 19 announced, 19 at most", HttpFaultServer::Ok(body), -1, 19, StatusCode::kOk},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = "/bounded" + std::to_string(++n);
    server.Set(path, c.reply);
    DownloadOptions options;
    options.expectedBytes = c.expectedBytes;
    options.maxBytes = c.maxBytes;
    DownloadReport report;
    std::string target = dir.File("target" + std::to_string(n));
    EXPECT_EQ(c.code, DownloadFile(server.Url(path), target, options, &report).code());
    const long long limit = c.expectedBytes >= 0 ? c.expectedBytes : c.maxBytes;
    EXPECT_LE(report.bytes, limit);
    if (c.code == StatusCode::kOk) {
      EXPECT_EQ(body, dir.Read("target" + std::to_string(n)));
    } else {
      EXPECT_FALSE(testing::Exists(target));
    }
  }
  // The endless bodies were given up at once: what the server managed to
  // send is what the socket buffers hold, nowhere near its cap.
  for (const char* path : {"/bounded1", "/bounded2"}) EXPECT_LT(server.BodyBytesSent(path), 64LL << 20) << path;
}

TEST(DownloadFileTest, AsksTheServerItselfWithAPlainGet) {
  HttpFaultServer server;
  server.Set("/lexmuse/webconfig.ini?x=1", HttpFaultServer::Ok("[update]\nversion=3\n"));
  TempDir dir;
  ASSERT_TRUE(DownloadFile(server.Url("/lexmuse/webconfig.ini?x=1"), dir.File("webconfig.ini")).ok());
  auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(0u, requests[0].rfind("GET /lexmuse/webconfig.ini?x=1 HTTP/1.1\r\n", 0)) << requests[0];
  EXPECT_NE(std::string::npos, requests[0].find("Cache-Control: no-cache"));
}

TEST(DownloadFileTest, EmptyUrlOrPathFailsWithoutTheNetwork) {
  HttpFaultServer server;
  server.Set("/f", HttpFaultServer::Ok("x"));
  TempDir dir;
  DownloadReport report;
  EXPECT_FALSE(DownloadFile("", dir.File("f"), DownloadOptions(), &report).ok());
  EXPECT_FALSE(DownloadFile(server.Url("/f"), "", DownloadOptions(), &report).ok());
  EXPECT_EQ(0, report.connectAttempts);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_FALSE(DownloadFile("ftp://127.0.0.1/f", dir.File("f")).ok());  // only http and https
  EXPECT_FALSE(testing::Exists(dir.File("f")));
}

TEST(DownloadFileTest, SplitsOnlyHttpAndHttpsUrlsWithAHost) {
  struct Case {
    const char* url;
    bool accepted;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://127.0.0.1:8667/lexmuse/webconfig.ini", true, "127.0.0.1", 8667, "/lexmuse/webconfig.ini"},
      {"http://h/a/b?x=1&y=/z", true, "h", 80, "/a/b?x=1&y=/z"},
      {"HTTP://H", true, "H", 80, "/"},
      {"http:///path", true, "path", 80, "/"},    // the client reads the first name as the host
      {"http://h/../../x", true, "h", 80, "/x"},  // dot segments are resolved, never sent
      {"http://[::1]:8080/x", true, "[::1]", 8080, "/x"},
      {"http://h:65535/", true, "h", 65535, "/"},
      {"http://h/a#fragment", true, "h", 80, "/a"},
      {"http://h:0/", false, "", 0, ""},
      {"http://h:65536/", false, "", 0, ""},
      {"http://", false, "", 0, ""},
      {"https://h/x", true, "h", 443, "/x"},
      {"HTTPS://h:8443", true, "h", 8443, "/"},
      {"ftp://h/x", false, "", 0, ""},
      {"file:///etc/passwd", false, "", 0, ""},
      {"h/x", false, "", 0, ""},
      {"http://h/a b", false, "", 0, ""},
      {"http://h/a\r\nX-Injected: 1", false, "", 0, ""},
      {"http://h%0d%0aX-Injected:%201/x", false, "", 0, ""},
      // Found by the URL fuzzer: the client decodes %7F in a host to DEL.
      {"http://h%7f/y", false, "", 0, ""},
      {"http:/\xff"
       "2b%7Fe/x",
       false, "", 0, ""},
      {"", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::optional<DownloadTarget> target = SplitDownloadUrl(c.url);
    ASSERT_EQ(c.accepted, target.has_value());
    if (!target) continue;
    EXPECT_EQ(c.host, target->host);
    EXPECT_EQ(c.port, target->port);
    EXPECT_EQ(c.path, target->path);
  }
  // A refused URL fails without the network.
  DownloadReport report;
  TempDir dir;
  EXPECT_FALSE(DownloadFile("http://h/a b", dir.File("f"), DownloadOptions(), &report).ok());
  EXPECT_EQ(0, report.connectAttempts);
}

// A port on which nothing listens: the connect fails and is tried once more.
TEST(DownloadFileTest, ARefusedConnectIsRetriedOnce) {
  int port = 0;
  {
    HttpFaultServer closed;
    port = closed.port();
  }
  TempDir dir;
  DownloadReport report;
  EXPECT_FALSE(
      DownloadFile("http://127.0.0.1:" + std::to_string(port) + "/f", dir.File("f"), DownloadOptions(), &report).ok());
  EXPECT_EQ(2, report.connectAttempts);
  EXPECT_FALSE(testing::Exists(dir.File("f")));
}

// A listener that never accepts, with its queue full: further connects get
// no answer at all and give up after the connect time-out, twice.
TEST(DownloadFileTest, AConnectWithoutAnswerTimesOutAndIsRetriedOnce) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(listener, 0));
  ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length));
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    (void)connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers.push_back(fd);
  }
  DownloadOptions quick;
  quick.connectTimeoutMs = 300;
  quick.stallSeconds = 2;  // should the connect get through after all
  DownloadReport report;
  TempDir dir;
  EXPECT_FALSE(
      DownloadFile("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/f", dir.File("f"), quick, &report)
          .ok());
  EXPECT_EQ(2, report.connectAttempts);
  for (int fd : fillers) close(fd);
  close(listener);
}

}  // namespace
}  // namespace quorvo
