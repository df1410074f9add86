// DownloadFile over https against a loopback TLS server (python's ssl
// module) whose certificate is signed by a CA made for the test: trusted
// only through QUORVO_CA_FILE; redirects followed at most three times and
// only to the same scheme, host and port.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "testing/python_http_server.h"
#include "testing/temp_dir.h"
#include "update/download_file.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::PythonHttpServer;
using testing::TempDir;

// A CA and a certificate for 127.0.0.1 and localhost that it signed.
bool MakeCertificates(const std::string& dir) {
  const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  std::string script = "set -e; cd '" + dir + "'\n" + "openssl req -x509" + ec +
                       " -keyout ca.key -out ca.pem -days 2 -subj '/CN=test CA'"
                       " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign\n" +
                       "openssl req" + ec + " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'\n" +
                       "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > ext.cnf\n"
                       "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem"
                       " -days 2 -extfile ext.cnf\n";
  return std::system(("bash -c \"$(cat <<'SCRIPT'\n" + script + "SCRIPT\n)\" >/dev/null 2>&1").c_str()) == 0;
}

class HttpsDownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    keys = new TempDir;
    site = new TempDir;
    ASSERT_TRUE(MakeCertificates(keys->path()));
    site->Write("f.bin", std::string(100000, 'x') + "end");
    server = new PythonHttpServer({TLS_SERVER_SCRIPT, keys->File("server.pem"), keys->File("server.key"), site->path()},
                                  "https");
    ASSERT_TRUE(server->running());
    other = new PythonHttpServer({TLS_SERVER_SCRIPT, keys->File("server.pem"), keys->File("server.key"), site->path()},
                                 "https");
    ASSERT_TRUE(other->running());
  }
  static void TearDownTestSuite() {
    delete server;
    delete other;
    delete site;
    delete keys;
  }
  void TearDown() override { unsetenv(kCaFileVariable); }

  static TempDir* keys;
  static TempDir* site;
  static PythonHttpServer* server;
  static PythonHttpServer* other;  // the same site on another port
  TempDir local;
};
TempDir* HttpsDownloadTest::keys = nullptr;
TempDir* HttpsDownloadTest::site = nullptr;
PythonHttpServer* HttpsDownloadTest::server = nullptr;
PythonHttpServer* HttpsDownloadTest::other = nullptr;

TEST_F(HttpsDownloadTest, TrustsTheTestCaAndFollowsOnlySameOriginRedirects) {
  const std::string base = server->Base();
  const std::string port = std::to_string(server->port());
  const std::string body = std::string(100000, 'x') + "end";
  struct Case {
    const char* name;
    std::string url;
    bool withCa;
    bool ok;
  } cases[] = {
      {"the file", base + "/f.bin", true, true},
      {"by name", "https://localhost:" + port + "/f.bin", true, true},
      {"an unknown CA", base + "/f.bin", false, false},
      {"three redirects", base + "/hops/2/f.bin", true, true},
      {"four redirects", base + "/hops/3/f.bin", true, false},
      {"a redirect to http", base + "/to?http://127.0.0.1:" + port + "/f.bin", true, false},
      {"a redirect to another host", base + "/to?https://localhost:" + port + "/f.bin", true, false},
      {"the other port itself", other->Base() + "/f.bin", true, true},
      {"a redirect to another port", base + "/to?" + other->Base() + "/f.bin", true, false},
      {"a redirect to the same origin", base + "/to?" + base + "/f.bin", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.withCa)
      setenv(kCaFileVariable, keys->File("ca.pem").c_str(), 1);
    else
      unsetenv(kCaFileVariable);
    std::filesystem::remove(local.File("f.bin"));
    DownloadReport report;
    EXPECT_EQ(c.ok, DownloadFile(c.url, local.File("f.bin"), DownloadOptions(), &report).ok());
    if (c.ok)
      EXPECT_EQ(body, local.Read("f.bin"));
    else
      EXPECT_FALSE(testing::Exists(local.File("f.bin"))) << "a refused answer creates no file";
  }
}

}  // namespace
}  // namespace quorvo
