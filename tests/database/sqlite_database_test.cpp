#include "database/sqlite_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "concurrency/lock.h"
#include "core/codepage.h"
#include "database/library_text.h"
#include "database/sqlite_library.h"
#include "database/sqlite_statement.h"
#include "tests/support/temp_dir.h"

namespace database {
namespace {

using core::gbk;
using test_support::TempDir;

Text path_text(const std::string& path) {
  return Text::from_bytes(path);
}

TEST(LibraryTextTest, Conversions) {
  EXPECT_TRUE(to_utf8("").empty());
  EXPECT_EQ(utf8_c_string(""), ByteBuffer{0});
  EXPECT_EQ(from_utf8({}), Text());
  const Text stored = gbk(u8" 入库成功！");
  const ByteBuffer utf8 = to_utf8(stored);
  EXPECT_EQ(std::string(utf8.begin(), utf8.end()),
            std::string(reinterpret_cast<const char*>(u8" 入库成功！")));
  EXPECT_EQ(from_utf8(utf8), stored);
  EXPECT_EQ(utf8_c_string(stored).back(), 0);
  EXPECT_EQ(from_utf8(ByteBuffer{'a', 'b', 0, 'c'}), Text("ab"));
  EXPECT_EQ(from_library_text(""), Text());
  EXPECT_EQ(from_library_text(nullptr), Text());
}

TEST(SqliteDatabaseTest, TextLandsInTheFileAsUtf8) {
  TempDir dir;
  const std::string file = dir.file("t.db");
  {
    SqliteDatabase db;
    ASSERT_TRUE(db.open(path_text(file), true, true));
    ASSERT_TRUE(db.exec(gbk(u8"CREATE TABLE t (v TEXT); INSERT INTO t VALUES (' 入库成功！');")));
  }
  const std::string read = test_support::command_output("sqlite3 " + file + " 'SELECT v FROM t'");
  EXPECT_EQ(read, std::string(reinterpret_cast<const char*>(u8" 入库成功！\n")));
}

TEST(SqliteDatabaseTest, Open) {
  TempDir dir;
  const std::string missing = dir.file("missing.db");
  SqliteDatabase db;
  EXPECT_FALSE(db.open(path_text(missing), true));
  EXPECT_FALSE(std::filesystem::exists(missing)) << "never created without the flag";
  EXPECT_FALSE(db.exec("CREATE TABLE t (a)")) << "a failed open refuses statements";
  EXPECT_TRUE(db.close()) << "the failed handle is released";

  EXPECT_TRUE(db.open(path_text(missing), true, true));
  EXPECT_TRUE(std::filesystem::exists(missing));

  // In memory whatever the name; a table is gone after close.
  EXPECT_TRUE(db.open(path_text(missing), false));
  EXPECT_TRUE(db.exec("CREATE TABLE mem (a)"));
  EXPECT_TRUE(db.table_exists("mem"));
  EXPECT_TRUE(db.close());
  EXPECT_TRUE(db.open("ignored", false));
  EXPECT_FALSE(db.table_exists("mem"));
  EXPECT_TRUE(db.close());
  EXPECT_FALSE(db.close()) << "second close";
}

TEST(SqliteDatabaseTest, ClosedObjectFailsWithoutTheLibrary) {
  SqliteDatabase db;
  Text error = "kept";
  EXPECT_FALSE(db.exec("SELECT 1", &error));
  EXPECT_EQ(db.prepare("SELECT 1"), nullptr);
  EXPECT_EQ(db.error_code(), -1);
  EXPECT_EQ(db.error_message(), Text());
  EXPECT_FALSE(db.set_busy_timeout(10));
  EXPECT_EQ(db.changes(), 0);
  EXPECT_FALSE(db.table_exists("x"));
  EXPECT_FALSE(db.close());
  EXPECT_FALSE(SqliteDatabase::finalize_handle(nullptr));
}

TEST(SqliteDatabaseTest, Exec) {
  SqliteDatabase db;
  ASSERT_TRUE(db.open("", false));
  EXPECT_TRUE(db.exec(""));
  ASSERT_TRUE(db.exec("CREATE TABLE food (a, b, c)"));
  Text error = "old";
  EXPECT_TRUE(db.exec("INSERT INTO food VALUES ('1','2','3')", &error));
  EXPECT_EQ(error, Text());
  EXPECT_FALSE(db.exec("INSERT INTO food VALUES ('1','2')", &error));
  EXPECT_EQ(error, Text("table food has 3 columns but 2 values were supplied"));
  EXPECT_EQ(db.error_message(), error);
  EXPECT_EQ(db.error_code(), 1);
  EXPECT_TRUE(db.begin_transaction());
  EXPECT_TRUE(db.exec("DELETE FROM food"));
  EXPECT_EQ(db.changes(), 1);
  EXPECT_TRUE(db.rollback());
  EXPECT_FALSE(db.library_version().empty());
  EXPECT_TRUE(db.vacuum());
}

TEST(SqliteDatabaseTest, PrepareCompilesOnlyTheFirstStatement) {
  SqliteDatabase db;
  ASSERT_TRUE(db.open("", false));
  sqlite3_stmt* statement = db.prepare("CREATE TABLE a (x); CREATE TABLE b (y);");
  ASSERT_NE(statement, nullptr);
  SqliteStatement run;
  run.attach_handle(statement);
  EXPECT_EQ(run.step(), 101);
  EXPECT_TRUE(db.table_exists("a"));
  EXPECT_FALSE(db.table_exists("b"));
  EXPECT_EQ(db.prepare("SELEKT"), nullptr);
  EXPECT_NE(db.error_message(), Text());
}

// A stand-in for the key function of an encryption-capable library.
int key_calls = 0;
std::string key_bytes;
int record_key(sqlite3*, const void* key, int count) {
  ++key_calls;
  key_bytes.assign(static_cast<const char*>(key), static_cast<std::size_t>(count));
  return 26;  // an error code: open must not care
}

TEST(SqliteDatabaseTest, KeyIsSetOnceAfterASuccessfulOpenAsGbkBytes) {
  library::set_substitute(library::Symbol::sqlite3_key, reinterpret_cast<void*>(&record_key));
  TempDir dir;
  SqliteDatabase db;
  EXPECT_FALSE(db.open(path_text(dir.file("none.db")), true, false, gbk(u8"密钥")));
  EXPECT_EQ(key_calls, 0) << "no key after a failed open";
  EXPECT_TRUE(db.open(path_text(dir.file("k.db")), true, true, gbk(u8"密钥")));
  EXPECT_EQ(key_calls, 1);
  EXPECT_EQ(key_bytes, gbk(u8"密钥").bytes());
  library::set_substitute(library::Symbol::sqlite3_key, nullptr);
}

TEST(SqliteDatabaseDeathTest, MissingFunctionIsFatalAndNamesLibraryAndFunction) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SqliteDatabase db;
        db.open("", false, false, Text("k"));
      },
      ::testing::ExitedWithCode(70), "sqlite3_key.*libsqlite3\\.so\\.0");
  EXPECT_EXIT(
      {
        library::set_library_file("libdoes-not-exist.so");
        SqliteDatabase db;
        db.open("", false);
      },
      ::testing::ExitedWithCode(70), "sqlite3_open_v2.*libdoes-not-exist\\.so");
}

TEST(SqliteDatabaseTest, TwoThreadsSerialisedByALockLoseNoRow) {
  TempDir dir;
  SqliteDatabase db;
  ASSERT_TRUE(db.open(path_text(dir.file("rows.db")), true, true));
  ASSERT_TRUE(db.exec("CREATE TABLE t (n)"));
  concurrency::Lock lock;
  auto insert = [&](int base) {
    for (int i = 0; i < 500; ++i) {
      concurrency::LockGuard hold(lock);
      Text error;
      ASSERT_TRUE(db.exec(Text("INSERT INTO t VALUES (") + Text::number(base + i) + ")", &error));
    }
  };
  std::thread a(insert, 0), b(insert, 1000);
  a.join();
  b.join();
  SqliteStatement count;
  count.attach_handle(db.prepare("SELECT count(DISTINCT n) FROM t"));
  ASSERT_TRUE(count.step_row());
  EXPECT_EQ(count.column_int(0), 1000);
}

}  // namespace
}  // namespace database
