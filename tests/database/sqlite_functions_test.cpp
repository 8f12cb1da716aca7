#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/codepage.h"
#include "database/sqlite_database.h"
#include "database/sqlite_statement.h"
#include "tests/support/temp_dir.h"

namespace database {
namespace {

using test_support::TempDir;

std::vector<std::pair<int, int>> progress_calls;
void record_progress(std::int32_t remaining, std::int32_t pages) {
  progress_calls.emplace_back(remaining, pages);
}

Text one_value(SqliteDatabase& db, const Text& sql) {
  SqliteStatement s;
  s.attach_handle(db.prepare(sql));
  return s.step_row() ? s.column_text(0) : Text("<no row>");
}

TEST(BackupTest, CopiesWithProgressAndReplacesTheDestination) {
  TempDir dir;
  SqliteDatabase source;
  ASSERT_TRUE(source.open("", false));
  ASSERT_TRUE(
      source.exec("CREATE TABLE food (name); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                  "SELECT i+1 FROM n WHERE i < 2000) INSERT INTO food SELECT "
                  "printf('%0100d', i) FROM n;"));
  const std::string target = dir.file("copy.db");
  {
    SqliteDatabase other;
    ASSERT_TRUE(other.open(Text::from_bytes(target), true, true));
    ASSERT_TRUE(other.exec("CREATE TABLE stale (x)"));
  }
  progress_calls.clear();
  ASSERT_TRUE(source.backup_to(Text::from_bytes(target), record_progress));
  ASSERT_GT(progress_calls.size(), 1u) << "one call per step of 5 pages";
  EXPECT_EQ(progress_calls.back().first, 0);
  EXPECT_GT(progress_calls.back().second, 5);
  EXPECT_EQ(progress_calls.front().first, progress_calls.back().second - 5);

  SqliteDatabase copy;
  ASSERT_TRUE(copy.open(Text::from_bytes(target), true));
  EXPECT_EQ(one_value(copy, "SELECT count(*) FROM food"), Text("2000"));
  EXPECT_FALSE(copy.table_exists("stale"));

  const std::string untouched = dir.file("bad-schema.db");
  EXPECT_FALSE(source.backup_to(Text::from_bytes(untouched), nullptr, Text("nosuch")));
  SqliteDatabase empty;
  ASSERT_TRUE(empty.open(Text::from_bytes(untouched), true));
  EXPECT_EQ(one_value(empty, "SELECT count(*) FROM sqlite_master"), Text("0"));
}

// A scalar function written against the class's value and result operations.
void describe(sqlite3_context* context, int, sqlite3_value** values) {
  switch (SqliteDatabase::value_type(values[0])) {
    case 1: {
      std::int64_t v = SqliteDatabase::value_int64(values[0]);
      SqliteDatabase::result_int64(context, v + 1);
      break;
    }
    case 3:
      // A temporary text: the library must copy it at once.
      SqliteDatabase::result_text(context,
                                  SqliteDatabase::value_text(values[0]) + core::gbk(u8"！"));
      break;
    case 5:
      SqliteDatabase::result_text(
          context,
          Text("[") + SqliteDatabase::value_text(values[0]) + "|" +
              Text::number(static_cast<long long>(SqliteDatabase::value_blob(values[0]).size())) +
              "]");
      break;
    default:
      SqliteDatabase::result_null(context);
  }
}

// An aggregate: the sum of lengths, through the user data.
struct Total {
  long long bytes = 0;
};
void add_length(sqlite3_context* context, int, sqlite3_value** values) {
  static_cast<Total*>(SqliteDatabase::user_data(context))->bytes +=
      SqliteDatabase::value_bytes(values[0]);
}
void finish_length(sqlite3_context* context) {
  auto* total = static_cast<Total*>(SqliteDatabase::user_data(context));
  SqliteDatabase::result_int(context, static_cast<int>(total->bytes));
  total->bytes = 0;
}

TEST(SqlFunctionTest, ScalarAndAggregate) {
  SqliteDatabase db;
  ASSERT_TRUE(db.open("", false));
  Total total;
  ASSERT_TRUE(db.create_function("describe", 1, nullptr, describe));
  ASSERT_TRUE(db.create_function("total_length", 1, &total, nullptr, add_length, finish_length));
  EXPECT_FALSE(db.create_function("bad", 1000, nullptr, describe));
  EXPECT_EQ(one_value(db, "SELECT describe(1099511627776)"), Text("1099511627777"));
  EXPECT_EQ(one_value(db, core::gbk(u8"SELECT describe('好')")), core::gbk(u8"好！"));
  EXPECT_EQ(one_value(db, core::gbk(u8"SELECT length(describe('ab'))")), Text("3"))
      << "no terminating zero inside the result";
  EXPECT_EQ(one_value(db, "SELECT describe(NULL)"), Text("[|0]"));
  EXPECT_EQ(one_value(db, "SELECT total_length(x) FROM (SELECT 'ab' AS x UNION ALL SELECT 'cde')"),
            Text("5"));
}

}  // namespace
}  // namespace database
