// "导入" on the word-bank page: a file that cannot be read whole is refused
// with its line named and leaves the bank file as it was; words without a
// translation go the add-words road (looked up on a dictionary served on
// 127.0.0.1 by the test), the rest keep the file's translation.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <thread>

#include "base/code_page.h"
#include "testing/loopback_dictionary.h"
#include "testing/word_fixture.h"
#include "wordapp/import_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/tests/gui_fixture.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::LoopbackDictionary;

class ImportPageTest : public testing::GuiTest {
 protected:
  ImportPageTest()
      : dictionary([](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
          if (word == "whale") return LoopbackDictionary::Parts{{"n.", "鲸"}};
          return std::nullopt;
        }) {
    setenv("QUORVO_DICT_HOST", dictionary.HostPort().c_str(), 1);
  }
  ~ImportPageTest() override {
    page.reset();  // the pool finishes its lookups before the dictionary stops
    unsetenv("QUORVO_DICT_HOST");
  }
  void Import(const std::string& file, const QString& bank) {
    QTimer::singleShot(0, [this, file, bank] {
      auto* dialog = qobject_cast<CImportDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, dialog);
      Control<QLineEdit>(dialog, import_dlg_controls::kFilePath)->setText(QString::fromStdString(dir.File(file)));
      Control<QLineEdit>(dialog, import_dlg_controls::kBankName)->setText(bank);
      Control<QPushButton>(dialog, import_dlg_controls::kOk)->click();
    });
    Control<QPushButton>(page.get(), page1_controls::kImport)->click();
  }

  LoopbackDictionary dictionary;
  std::unique_ptr<CPage1> page;
};

TEST_F(ImportPageTest, AHalfBadFileIsRefusedWithItsLineAndChangesNothing) {
  Put(kMainWord, "apple", "苹果", 9);
  dir.Write("half.csv", "word,translation\nfig,无花果\ngrape,\"葡萄\nkiwi,猕猴桃\n");
  const std::string before = testing::DumpFile(DbPath());
  page = std::make_unique<CPage1>(ops);
  page->show();
  Import("half.csv", QStringLiteral("main_word"));
  EXPECT_EQ(std::vector<std::string>{"无法导入 " + dir.File("half.csv") + "：第 3 行：引号没有结束。词库保持原样。"},
            BoxTexts());
  page.reset();
  EXPECT_EQ(before, testing::DumpFile(DbPath()));
}

TEST_F(ImportPageTest, WordsWithoutATranslationAreLookedUpTheOthersKeepTheFiles) {
  Put(kMainWord, "apple", "苹果", 9);
  dir.Write("words.txt", "#separator:tab\n#html:true\n#columns:Front\tBack\nwhale\t\napple\t苹果树<br>苹果\n");
  page = std::make_unique<CPage1>(ops);
  page->show();
  Import("words.txt", QStringLiteral("main_word"));
  ASSERT_EQ(1u, BoxTexts().size());
  EXPECT_EQ("导入完毕（词库“main_word”）：新增 1 个单词，更新 1 个。\n1 个单词没有释义，正在联网查询。", BoxTexts()[0]);
  std::vector<testing::StoredWord> stored;
  for (int i = 0; i < 200000; ++i) {
    stored = testing::ReadBank(DbPath(), kMainWord);
    if (stored.size() == 2 && !stored[1].trans.empty()) break;
    std::this_thread::yield();
  }
  ASSERT_EQ(2u, stored.size());
  EXPECT_EQ("apple", stored[0].value);
  EXPECT_EQ("苹果树\n苹果", Utf8(stored[0].trans));
  EXPECT_EQ("whale", stored[1].value);
  EXPECT_EQ("n. 鲸\n", Utf8(stored[1].trans));
}

}  // namespace
}  // namespace quorvo
