// Both pages open the bank file chosen at start (an installed quorvo's
// ~/.local/share/quorvo/dict_main.db), not the dict_main.db of the working
// folder.
#include <QApplication>

#include "startup/app_layout.h"
#include "testing/word_fixture.h"
#include "wordapp/page1.h"
#include "wordapp/page2.h"
#include "wordapp/page2_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

class BankFileTest : public testing::GuiTest {
 protected:
  ~BankFileTest() override { SetBankFile("dict_main.db"); }
};

TEST_F(BankFileTest, PagesReadTheChosenFileAndLeaveTheWorkingFolderAlone) {
  // The working folder holds a bank of its own that must not be shown.
  Put(kMainWord, "decoy", "诱饵", 9);
  Put(kMainRemember, "decoy", "诱饵", 9);
  std::string before = dir.Read("dict_main.db");

  testing::TempDir data;
  std::string chosen = data.File("dict_main.db");
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(chosen));
    testing::CreateBanks(db, {kMainWord, kMainRemember});
    testing::PutWord(db, kMainWord, "apple", "苹果", 5);
    testing::PutWord(db, kMainWord, "melon", "瓜", 3);
    testing::PutWord(db, kMainRemember, "pear", "梨", 1);
  }
  SetBankFile(chosen);

  CPage1 words(ops);
  ASSERT_EQ(2, words.WordModel().rowCount());
  EXPECT_EQ("apple", words.WordModel().CellText(0, 1));
  EXPECT_EQ("melon", words.WordModel().CellText(1, 1));
  CPage2 cards(ops);
  EXPECT_EQ("pear", TextOf(Control<QWidget>(&cards, page2_controls::kWord)));
  EXPECT_EQ(before, dir.Read("dict_main.db"));
}

}  // namespace
}  // namespace quorvo
