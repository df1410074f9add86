#include "renova/crenova_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <optional>

#include "renova/renova_controls.h"
#include "testing/http_fault_server.h"
#include "testing/python_http_server.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/renova_lock.h"
#include "update/tests/update_test_support.h"
#include "update/word_app_process.h"
#include "widgets/gradient_progress_ctrl.h"

namespace quorvo {
namespace {

using namespace renova_controls;
using testing::Exists;
using testing::FakeWordApp;
using testing::TempDir;

QApplication& App() {
  static int argc = 1;
  static char name[] = "renova_tests";
  static char* argv[] = {name, nullptr};
  // Made once and never destroyed: tearing Qt down among the other
  // statics at exit is not worth the risk.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs the window's events until its worker's work has come back to it.
bool WaitIdle(const CrenovaDlg& dlg, int limitMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (dlg.busy() && clock.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return !dlg.busy();
}

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

// An installed folder at version 1 (quorvo, words.txt) and an update server
// publishing version 2 with three files: the program, words.txt and a file
// new in this version.
class CrenovaDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    savedCwd = cwd;

    std::filesystem::create_directories(site.File("lexmuse/v2"));
    site.Write("lexmuse/v2/lexmuse", "new quorvo");
    site.Write("lexmuse/v2/words.txt", "new words");
    site.Write("lexmuse/v2/extra.dat", "new extra");
    server = std::make_unique<testing::PythonHttpServer>(site.path());
    ASSERT_TRUE(server->running());
    const std::string v2 = server->Base() + "/lexmuse/v2/";
    Publish("[update]\nversion=2\nfile_count=3\nfile_1=" + v2 + "lexmuse\nfile_2=" + v2 + "words.txt\nfile_3=" + v2 +
            "extra.dat\n");

    app.Write("config.ini", "[update]\nversion=1\n");
    app.Write("words.txt", "old words");

    env.appFolder = app.path();
    env.trust = InsecureUpdateTrust();
    env.serverBase = server->Base();
    env.boxes = &boxes;
    // The real ones: only the quorvo of the test's own folder is looked for
    // and ended.
  }
  void TearDown() override { (void)!chdir(savedCwd.c_str()); }

  void Publish(const std::string& manifest) { site.Write("lexmuse/webconfig.ini", manifest); }

  template <typename T>
  static T* Control(QWidget& dlg, int id) {
    T* control = dlg.findChild<T*>(ControlName(id));
    EXPECT_NE(nullptr, control) << id;
    return control;
  }
  static std::string Text(QWidget& dlg, int id) {
    const QString name = ControlName(id);
    if (auto* label = dlg.findChild<QLabel*>(name)) return label->text().toStdString();
    if (auto* edit = dlg.findChild<QLineEdit*>(name)) return edit->text().toStdString();
    if (auto* button = dlg.findChild<QPushButton*>(name)) return button->text().toStdString();
    ADD_FAILURE() << "no control " << id;
    return "";
  }

  TempDir site;
  TempDir app;
  std::unique_ptr<testing::PythonHttpServer> server;
  testing::RecordingBoxes boxes;
  RenovaEnv env;
  std::string savedCwd;
};

TEST_F(CrenovaDlgTest, RunsTheUpdateOnEnterAndEndsQuorvo) {
  FakeWordApp quorvo(app.path(), "quorvo");  // the installed program, running
  ASSERT_TRUE(quorvo.ready());
  CrenovaDlg dlg(env);
  ASSERT_TRUE(dlg.OnInitDialog());
  ASSERT_TRUE(WaitIdle(dlg));

  EXPECT_EQ("自动升级软件", dlg.windowTitle().toStdString());
  EXPECT_EQ("开始", Text(dlg, kStart));
  EXPECT_EQ("退出", Text(dlg, kExit));
  EXPECT_EQ("升级状态", Text(dlg, kStatus));
  EXPECT_EQ("", Text(dlg, kCurrentFile));
  EXPECT_TRUE(Control<QPushButton>(dlg, kStart)->isEnabled());
  EXPECT_TRUE(Control<QPushButton>(dlg, kStart)->isDefault());
  EXPECT_EQ(3u, dlg.files().size());
  EXPECT_EQ(2, dlg.newVersion());
  // The AppFolder is the current folder.
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
  EXPECT_EQ(app.path(), std::string(cwd));
  // quorvo runs: the user is asked to close it, nothing is ended yet.
  ASSERT_EQ(1u, boxes.shown.size());
  EXPECT_EQ(BoxKind::Plain, boxes.shown[0].kind);
  EXPECT_EQ("请先关闭原程序,然后点击开始按钮进行更新", boxes.shown[0].text);
  EXPECT_TRUE(quorvo.Running());

  auto* bar = Control<CGradientProgressCtrl>(dlg, kProgress);
  ASSERT_NE(nullptr, bar);
  EXPECT_EQ(0, bar->GetPos());
  EXPECT_EQ(QColor(160, 180, 220), bar->GetBackgroundColor());
  std::vector<int> positions;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) { positions.push_back(value); });

  PressKey(&dlg, Qt::Key_Return);  // Start is the default button
  ASSERT_TRUE(WaitIdle(dlg));

  EXPECT_EQ(4, quorvo.WaitForExit());
  EXPECT_EQ((std::vector<int>{33, 66, 100}), positions);
  EXPECT_EQ(100, bar->GetPos());
  EXPECT_EQ("当前升级状态： 3/3", Text(dlg, kStatus));
  EXPECT_EQ(app.File("extra.dat"), Text(dlg, kCurrentFile));
  EXPECT_FALSE(Control<QPushButton>(dlg, kStart)->isEnabled());
  EXPECT_TRUE(Control<QPushButton>(dlg, kExit)->isEnabled());

  EXPECT_EQ("new quorvo", app.Read("quorvo"));
  EXPECT_EQ(0755u, testing::ModeOf(app.File("quorvo")));  // still a program
  EXPECT_EQ("new words", app.Read("words.txt"));
  EXPECT_EQ("new extra", app.Read("extra.dat"));  // new in version 2: its real name
  EXPECT_FALSE(Exists(app.File("webconfig.ini")));
  EXPECT_EQ(2, ReadIniInt(app.File("config.ini"), "update", "version", 0));

  // A run happens once per window; Esc then closes it.
  PressKey(&dlg, Qt::Key_Return);
  EXPECT_FALSE(dlg.busy());
  EXPECT_EQ(1u, boxes.shown.size());
  EXPECT_TRUE(dlg.isVisible());
  PressKey(&dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(QDialog::Rejected, dlg.result());
}

TEST_F(CrenovaDlgTest, NothingToDoDisablesStart) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::string manifest;  // empty: none published
    std::string serverBase;
    int configVersionAfter;
    std::string config = "[update]\nversion=1\n";     // installed before the window opens
    std::optional<UpdateTrust> trust = std::nullopt;  // nullopt: the unsigned road
    std::string status = "不需要升级，请退出";
    bool anotherRenova = false;  // another renova holds the folder meanwhile
  } cases[] = {
      {"same version", "[update]\nversion=1\nfile_count=1\nfile_1=" + server->Base() + "/lexmuse/v2/words.txt\n", "",
       1},
      // Another version without a usable file: config.ini stays as it is, so
      // quorvo keeps offering the update.
      {"no usable file", "[update]\nversion=2\nfile_count=2\nfile_1=no file\n", "", 1},
      {"nothing published", "", "", 1},
      {"server unreachable", "", "http://127.0.0.1:1", 1},
      // Binary bytes read as a manifest without a version (1) and without files.
      {"a binary manifest",
       "\0\xff\xfe\x01[update\0]\nversion=2\nfile_count=1\nfile_1="s + server->Base() + "/lexmuse/v2/words.txt\n", "",
       1},
      {"a binary config.ini and a binary manifest", "\x80\x81\n\xff["s, "", 0, "\0\x01binary\xff\n[update\n=\n"s},
      // A server, but a build with neither key nor unsigned road; and an
      // unsigned manifest where the build carries a key: refused, and said.
      {"a build without release key",
       "[update]\nversion=2\nfile_count=1\nfile_1=" + server->Base() + "/lexmuse/v2/words.txt\n", "", 1,
       "[update]\nversion=1\n", UpdateTrust(), "拒绝升级：此版本没有内置发布公钥"},
      {"an unsigned manifest for a build with a key",
       "[update]\nversion=2\nfile_count=1\nfile_1=" + server->Base() + "/lexmuse/v2/words.txt\n", "", 1,
       "[update]\nversion=1\n", testing::TestReleaseKey().Trust(), "拒绝升级：升级清单的签名无效"},
      // A frozen copy past its date, even one offering the installed
      // version, is named as such.
      {"an expired manifest", "[update]\nversion=1\nexpires=2000-01-01\n", "", 1, "[update]\nversion=1\n", std::nullopt,
       "拒绝升级：升级清单已于 2000-01-01 过期，升级服务器提供的可能是旧的副本"},
      {"another renova at work",
       "[update]\nversion=2\nfile_count=1\nfile_1=" + server->Base() + "/lexmuse/v2/words.txt\n", "", 1,
       "[update]\nversion=1\n", std::nullopt, "另一个升级程序正在升级此文件夹，请等它结束后再试", true},
  };
  for (const Case& c : cases) {
    if (c.manifest.empty())
      std::filesystem::remove(site.File("lexmuse/webconfig.ini"));
    else
      Publish(c.manifest);
    app.Write("config.ini", c.config);
    RenovaEnv caseEnv = env;
    if (!c.serverBase.empty()) caseEnv.serverBase = c.serverBase;
    if (c.trust) caseEnv.trust = *c.trust;
    std::optional<Result<RenovaFolderLock>> held;
    if (c.anotherRenova) {
      held.emplace(RenovaFolderLock::Take(app.path()));
      ASSERT_TRUE(held->ok()) << c.name;
    }
    CrenovaDlg dlg(caseEnv);
    dlg.OnInitDialog();
    ASSERT_TRUE(WaitIdle(dlg)) << c.name;
    EXPECT_FALSE(Control<QPushButton>(dlg, kStart)->isEnabled()) << c.name;
    EXPECT_TRUE(Control<QPushButton>(dlg, kExit)->isEnabled()) << c.name;
    EXPECT_EQ(c.status, Text(dlg, kStatus)) << c.name;
    EXPECT_FALSE(Exists(app.File("webconfig.ini"))) << c.name;
    PressKey(&dlg, Qt::Key_Return);  // Start is disabled: nothing runs
    EXPECT_EQ("old words", app.Read("words.txt")) << c.name;
    EXPECT_EQ(c.configVersionAfter, ReadIniInt(app.File("config.ini"), "update", "version", 0)) << c.name;
    EXPECT_EQ(c.config, app.Read("config.ini")) << c.name;  // never written when nothing ran
  }
  EXPECT_TRUE(boxes.shown.empty());  // quorvo does not run
}

TEST_F(CrenovaDlgTest, AsksToCloseQuorvoEvenWithNothingToDo) {
  Publish("[update]\nversion=1\n");
  FakeWordApp quorvo(app.path(), "quorvo");
  ASSERT_TRUE(quorvo.ready());
  CrenovaDlg dlg(env);
  dlg.OnInitDialog();
  ASSERT_TRUE(WaitIdle(dlg));
  EXPECT_EQ(std::vector<std::string>{"请先关闭原程序,然后点击开始按钮进行更新"}, boxes.Texts());
  EXPECT_FALSE(Control<QPushButton>(dlg, kStart)->isEnabled());
  EXPECT_TRUE(quorvo.Running());
}

TEST_F(CrenovaDlgTest, AFailedFileLeavesTheVersionUnrecordedAndSaysSo) {
  const std::string v2 = server->Base() + "/lexmuse/v2/";
  Publish("[update]\nversion=2\nfile_count=2\nfile_1=" + v2 + "words.txt\nfile_2=" + v2 + "not-published.txt\n");
  CrenovaDlg dlg(env);
  dlg.OnInitDialog();
  ASSERT_TRUE(WaitIdle(dlg));
  Control<QPushButton>(dlg, kStart)->click();
  ASSERT_TRUE(WaitIdle(dlg));
  EXPECT_EQ("升级未完成：1 个文件未能更新，下次启动将再次提示更新", Text(dlg, kStatus));
  EXPECT_EQ(1, ReadIniInt(app.File("config.ini"), "update", "version", 0));
  EXPECT_EQ(0, Control<CGradientProgressCtrl>(dlg, kProgress)->GetPos());  // nothing installed: not 100 %
  EXPECT_TRUE(Control<QPushButton>(dlg, kExit)->isEnabled());
  EXPECT_FALSE(Control<QPushButton>(dlg, kStart)->isEnabled());
}

// A server that hangs, while the manifest is fetched or in the middle of a
// file: the window opens at once, stays responsive, keeps Exit usable, and
// Exit stops the work within a few seconds without changing anything.
TEST_F(CrenovaDlgTest, ExitWorksWhileTheServerHangs) {
  using Fault = testing::HttpFaultServer;
  struct Case {
    const char* name;
    bool manifestHangs;  // otherwise the manifest arrives and its only file stalls
  } cases[] = {{"a server that accepts and never answers", true}, {"a file that stalls after 4 bytes", false}};
  for (const Case& c : cases) {
    Fault fault;
    if (c.manifestHangs) {
      fault.Set("/lexmuse/webconfig.ini", Fault::NoAnswer());
    } else {
      fault.Set("/lexmuse/webconfig.ini",
                Fault::Ok("[update]\nversion=2\nfile_count=1\nfile_1=" + fault.Url("/v2/words.txt") + "\n"));
      fault.Set("/v2/words.txt", Fault::Stall("new words, never complete", 4));
    }
    RenovaEnv caseEnv = env;
    caseEnv.serverBase = fault.Url("");
    CrenovaDlg dlg(caseEnv);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(dlg.OnInitDialog()) << c.name;
    EXPECT_LT(clock.elapsed(), 1000) << c.name;
    EXPECT_TRUE(dlg.isVisible()) << c.name;

    if (!c.manifestHangs) {
      ASSERT_TRUE(WaitIdle(dlg)) << c.name;
      ASSERT_TRUE(Control<QPushButton>(dlg, kStart)->isEnabled()) << c.name;
      Control<QPushButton>(dlg, kStart)->click();
      // Wait until the file has been asked for (its first bytes then come).
      auto asked = [&] {
        for (const std::string& head : fault.Requests())
          if (head.rfind("GET /v2/words.txt ", 0) == 0) return true;
        return false;
      };
      clock.restart();
      while (!asked() && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
      ASSERT_TRUE(asked()) << c.name;
    }
    // The work hangs; the window thread still runs its events.
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    clock.restart();
    while (clock.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(timerRan) << c.name;
    EXPECT_TRUE(dlg.busy()) << c.name;
    EXPECT_FALSE(Control<QPushButton>(dlg, kStart)->isEnabled()) << c.name;
    ASSERT_TRUE(Control<QPushButton>(dlg, kExit)->isEnabled()) << c.name;

    Control<QPushButton>(dlg, kExit)->click();
    EXPECT_FALSE(dlg.isVisible()) << c.name;
    EXPECT_TRUE(WaitIdle(dlg, 3000)) << c.name;
    EXPECT_EQ("old words", app.Read("words.txt")) << c.name;
    EXPECT_EQ(1, ReadIniInt(app.File("config.ini"), "update", "version", 0)) << c.name;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CrenovaDlgTest, TheMenuCommandSixteenOpensTheAboutBox) {
  Publish("[update]\nversion=1\n");
  CrenovaDlg dlg(env);
  dlg.OnInitDialog();
  ASSERT_TRUE(WaitIdle(dlg));
  std::string title, line;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    if (!about) return;
    title = about->windowTitle().toStdString();
    for (auto* label : about->findChildren<QLabel*>())
      if (!label->text().isEmpty()) line = label->text().toStdString();
    if (auto* ok = about->findChild<QPushButton*>(ControlName(kAboutOk))) ok->click();
  });
  dlg.OnSysCommand(kIdmAboutBox | 0x3);  // the low four bits are the system's
  EXPECT_EQ("关于 renova", title);
  EXPECT_EQ("renova，1.0 版", line);
}

}  // namespace
}  // namespace quorvo
