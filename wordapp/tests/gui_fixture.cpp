#include "wordapp/tests/gui_fixture.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <climits>

#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace quorvo::testing {
namespace {

// One application object for the whole test program, made after main() has
// chosen the offscreen platform.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "wordapp_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    app_->setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

GuiTest::GuiTest() {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd)) oldDir_ = cwd;
  // The pages open "dict_main.db" in the working folder.
  EXPECT_EQ(0, chdir(dir.path().c_str()));
  MakeBanks({kMainWord, kMainRemember});
  ops.boxes = &boxes;
  ops.files = &files;
  ops.tray = &tray;
  ops.updateCheck = [count = updateChecks](const UpdateCheckEnv&) {
    ++*count;
    return 0;
  };
}

GuiTest::~GuiTest() {
  if (!oldDir_.empty()) {
    EXPECT_EQ(0, chdir(oldDir_.c_str()));
  }
}

void GuiTest::MakeBanks(const std::vector<std::string>& banks) {
  WordDatabase db;
  ASSERT_TRUE(db.Open(DbPath()));
  CreateBanks(db, banks);
}

void GuiTest::Put(const std::string& bank, const std::string& word, const std::string& transUtf8, int hot, int known) {
  WordDatabase db;
  ASSERT_TRUE(db.Open(DbPath()));
  PutWord(db, bank, word, transUtf8, hot, known);
}

std::string TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
  ADD_FAILURE() << "no text on " << (widget ? widget->objectName().toStdString() : "null");
  return {};
}

}  // namespace quorvo::testing
