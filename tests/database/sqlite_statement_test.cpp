#include "database/sqlite_statement.h"

#include <gtest/gtest.h>

#include "core/codepage.h"
#include "database/sqlite_database.h"

namespace database {
namespace {

class SqliteStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.open("", false));
    ASSERT_TRUE(db.exec("CREATE TABLE t (v)"));
  }
  // The value stored by binding with `bind` at position 1, as (type, text).
  template <typename Bind>
  std::pair<int, Text> stored(Bind bind) {
    db.exec("DELETE FROM t");
    SqliteStatement insert;
    insert.attach_handle(db.prepare("INSERT INTO t VALUES (?)"));
    EXPECT_TRUE(bind(insert));
    EXPECT_EQ(insert.step(), 101);
    SqliteStatement read;
    read.attach_handle(db.prepare("SELECT v, typeof(v) FROM t"));
    EXPECT_TRUE(read.step_row());
    return {read.column_type(0), read.column_text(0)};
  }
  SqliteDatabase db;
};

TEST_F(SqliteStatementTest, BindsAndReadBack) {
  struct Case {
    const char* name;
    std::function<bool(SqliteStatement&)> bind;
    int type;
    Text text;
  } cases[] = {
      {"null", [](auto& s) { return s.bind_null(1); }, 5, ""},
      {"int", [](auto& s) { return s.bind_int(1, -7); }, 1, "-7"},
      {"int64", [](auto& s) { return s.bind_int64(1, 1LL << 40); }, 1, "1099511627776"},
      {"double", [](auto& s) { return s.bind_double(1, 2.5); }, 2, "2.5"},
      {"text", [](auto& s) { return s.bind_text(1, core::gbk(u8"苹果")); }, 3, core::gbk(u8"苹果")},
      {"empty text is text", [](auto& s) { return s.bind_text(1, ""); }, 3, ""},
      {"blob",
       [](auto& s) {
         return s.bind_blob(1, {'a', 'b'});
       },
       4, "ab"},
      {"empty blob is NULL", [](auto& s) { return s.bind_blob(1, {}); }, 5, ""},
      {"zeroblob", [](auto& s) { return s.bind_zeroblob(1, 3); }, 4, ""},
      {"second bind wins",
       [](auto& s) { return s.bind_text(1, "first") && s.bind_text(1, "second"); }, 3, "second"},
  };
  for (const auto& c : cases) {
    const auto [type, text] = stored(c.bind);
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
  }
}

TEST_F(SqliteStatementTest, BindsOutOfRangeFailWithoutStoring) {
  SqliteStatement s;
  EXPECT_FALSE(s.bind_text(1, "x")) << "no statement";
  s.attach_handle(db.prepare("INSERT INTO t VALUES (:value)"));
  EXPECT_EQ(s.parameter_count(), 1);
  EXPECT_EQ(s.parameter_name(1), Text(":value"));
  EXPECT_EQ(s.parameter_index(":value"), 1);
  EXPECT_EQ(s.parameter_index(":other"), 0);
  EXPECT_FALSE(s.bind_text(0, "x"));
  EXPECT_FALSE(s.bind_text(2, "x"));
  EXPECT_FALSE(s.bind_blob(2, {'x'}));
  EXPECT_FALSE(s.bind_int(2, 1));
  EXPECT_EQ(s.sql_text(), Text("INSERT INTO t VALUES (:value)"));
}

TEST_F(SqliteStatementTest, AttachAndFinalize) {
  SqliteStatement s;
  EXPECT_FALSE(s.finalize()) << "empty";
  sqlite3_stmt* first = db.prepare("SELECT 1");
  s.attach_handle(first);
  s.attach_handle(db.prepare("SELECT 2"), false);
  EXPECT_TRUE(SqliteDatabase::finalize_handle(first)) << "left to the caller, still alive";
  sqlite3_stmt* third = db.prepare("SELECT 3");
  s.attach_handle(third);  // finalises the second
  ASSERT_TRUE(s.step_row());
  EXPECT_EQ(s.column_int(0), 3);
  EXPECT_TRUE(s.finalize());
  EXPECT_FALSE(s.finalize());
  EXPECT_EQ(s.handle(), nullptr);
  EXPECT_TRUE(db.close()) << "no statement left unfinalised";
}

TEST_F(SqliteStatementTest, ColumnReads) {
  SqliteStatement s;
  s.attach_handle(db.prepare(
      "SELECT NULL AS a, '' AS b, x'' AS c, 0.1 AS a, 7 AS d, x'0102' AS e, 5000000000 AS f"));
  ASSERT_TRUE(s.step_row());
  EXPECT_EQ(s.data_count(), 7);
  Text out = "kept";
  EXPECT_FALSE(s.read_column_text(0, out));
  EXPECT_EQ(out, Text("kept"));
  EXPECT_TRUE(s.read_column_text(1, out));
  EXPECT_EQ(out, Text(""));
  ByteBuffer blob{9};
  EXPECT_FALSE(s.read_column_blob(2, blob)) << "a blob of 0 bytes";
  EXPECT_EQ(blob, ByteBuffer{9});
  EXPECT_TRUE(s.read_column_blob(5, blob));
  EXPECT_EQ(blob, (ByteBuffer{1, 2}));
  EXPECT_EQ(s.column_index("a"), 0) << "first of two";
  EXPECT_EQ(s.column_index("A"), -1) << "byte for byte";
  EXPECT_EQ(s.column_index("zzz"), -1);
  EXPECT_EQ(s.column_float(3), 0.1f);
  EXPECT_EQ(s.column_double(3), 0.1);
  EXPECT_EQ(s.column_int64(6), 5000000000LL);
  EXPECT_EQ(s.column_type(0), 5);
  EXPECT_EQ(s.column_name(4), Text("d"));
  EXPECT_FALSE(s.step_row());
  EXPECT_TRUE(s.reset());
  EXPECT_TRUE(s.clear_bindings());
}

}  // namespace
}  // namespace database
