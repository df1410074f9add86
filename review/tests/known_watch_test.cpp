// The watch over "会背"'s updates: which rows were not known just before
// their update, read as the bank's own look at them reads the flag, in
// banks made by this program and by others.
#include "review/known_watch.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace quorvo {
namespace {

class KnownWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef QUORVO_HAVE_PREUPDATE_HOOK
    GTEST_SKIP() << "this SQLite has no pre-update hook: \"会背\" looks at each word itself";
#endif
    ASSERT_EQ(SQLITE_OK, sqlite3_open(dir.File("dict_main.db").c_str(), &db));
  }
  void TearDown() override { sqlite3_close(db); }
  void Run(const std::string& sql) {
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr)) << sql;
  }

  testing::TempDir dir;
  sqlite3* db = nullptr;
};

TEST_F(KnownWatchTest, NotesTheRowsWhoseFlagReadZeroBeforeTheirUpdate) {
  // A bank of another program: the flag first and without a type, so each
  // kind of value stays as it was stored.
  Run("create table other_bank (known, hot integer, value text unique)");
  Run("insert into other_bank values (0, 1, 'int0'), ('0', 1, 'text0'), (x'30', 1, 'blob0'), (1, 1, 'one'), "
      "(NULL, 1, 'null'), (0.0, 1, 'real0'), ('00', 1, 'text00'), ('0', 1, 'untouched')");
  Run("create table main_word (value text unique, known boolean default '0')");
  Run("insert into main_word (value) values ('int0')");
  std::vector<std::string> changed;
  {
    KnownWatch watch(db, "other_bank");
    ASSERT_TRUE(watch.Active());
    for (const char* word : {"one", "text00", "int0", "null", "blob0", "real0", "text0", "int0", "absent"})
      Run(std::string("update other_bank set known = 1 where value = '") + word + "'");
    // Another bank's update and a row added to the watched one are not changes of its flags.
    Run("update main_word set known = 1 where value = 'int0'");
    Run("insert into other_bank values (0, 1, 'added')");
    changed = watch.Changed();
  }
  // The second update of int0 found it known already.
  EXPECT_EQ((std::vector<std::string>{"int0", "blob0", "text0"}), changed);
  // The watch is gone with its hook: later updates reach nothing.
  Run("update other_bank set known = 1 where value = 'untouched'");
}

TEST_F(KnownWatchTest, ABankWithoutTheColumnsIsNotWatched) {
  Run("create table plain (word text, flag integer)");
  KnownWatch missingColumns(db, "plain");
  EXPECT_FALSE(missingColumns.Active());
  KnownWatch missingTable(db, "nosuch");
  EXPECT_FALSE(missingTable.Active());
  Run("update plain set flag = 1");
  EXPECT_TRUE(missingColumns.Changed().empty());
}

}  // namespace
}  // namespace quorvo
