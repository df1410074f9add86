// quorvo's start with its update road in bad shape: no update server at
// all, or version files holding garbage and binary bytes. The main window
// opens on main_word as usual, the real update check (run against the
// test's own folder) offers nothing, and it leaves no file behind.
#include <QApplication>
#include <QLabel>
#include <filesystem>
#include <future>
#include <optional>
#include <random>
#include <thread>

#include "testing/http_fault_server.h"
#include "update/update_check.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::HttpFaultServer;
using testing::TempDir;
using testing::TextOf;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

class StartUpFaultTest : public testing::GuiTest {};

TEST_F(StartUpFaultTest, TheWindowOpensAsUsualAndNothingIsOffered) {
  Put(kMainWord, "apple", "苹果", 3);
  Put(kMainWord, "pear", "梨", 1);
  HttpFaultServer server;  // unknown paths (renova) answer 404
  int closedPort = 0;
  {
    HttpFaultServer gone;
    closedPort = gone.port();
  }
  struct Case {
    const char* name;
    std::optional<std::string> config;  // nullopt: no config.ini
    std::optional<std::string> served;  // nullopt: no update server at all
  } cases[] = {
      {"no update server", "[update]\nversion=1\n", std::nullopt},
      {"no update server and no config.ini", std::nullopt, std::nullopt},
      {"binary config.ini, no update server", RandomBytes(2048, 1), std::nullopt},
      {"garbage config.ini, binary manifest", "not an ini file\n[[[\n=\n", RandomBytes(2048, 2)},
      {"binary manifest", "[update]\nversion=1\n", RandomBytes(4096, 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir app;  // the AppFolder the check works in
    if (c.config) app.Write("config.ini", *c.config);
    if (c.served) server.Set("/lexmuse/webconfig.ini", HttpFaultServer::Ok(*c.served));
    std::string serverBase = c.served ? server.Url("") : "http://127.0.0.1:" + std::to_string(closedPort);

    auto done = std::make_shared<std::promise<std::vector<std::string>>>();
    std::future<std::vector<std::string>> started = done->get_future();
    ops.updateCheck = [done, folder = app.path(), serverBase](const UpdateCheckEnv& given) {
      UpdateCheckEnv env = given;  // the page's boxes
      env.appFolder = folder;
      env.serverBase = serverBase;
      env.trust = InsecureUpdateTrust();  // the road that reads whatever is served
      std::vector<std::string> programs;
      env.startProgram = [&programs](const std::string& program) {
        programs.push_back(program);
        return true;
      };
      int result = CheckForUpdate(env);
      done->set_value(result == 0 ? programs : std::vector<std::string>{"check returned " + std::to_string(result)});
      return result;
    };
    boxes.shown.clear();
    {
      CdictDlg window(ops);
      window.show();
      // Boxes the check asks for are shown on this thread: keep serving it.
      while (started.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      EXPECT_TRUE(window.Page1()->HasConnection());
      EXPECT_EQ(2, window.Page1()->WordModel().rowCount());
      EXPECT_EQ("单词总数: 2", TextOf(Control<QLabel>(window.Page1(), page1_controls::kWordCount)));
    }
    EXPECT_TRUE(started.get().empty());
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(std::filesystem::exists(app.File("webconfig.ini")));
    EXPECT_FALSE(std::filesystem::exists(app.File("renova")));
    if (c.config) {
      EXPECT_EQ(*c.config, app.Read("config.ini"));
    }
  }
}

}  // namespace
}  // namespace quorvo
