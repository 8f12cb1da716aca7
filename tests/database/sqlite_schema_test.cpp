#include <gtest/gtest.h>

#include <map>

#include "core/codepage.h"
#include "database/sqlite_database.h"
#include "database/sqlite_statement.h"

namespace database {
namespace {

// The library keeps each CREATE statement as it was run, so sqlite_master shows the composed SQL.
class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db.open("", false)); }
  SqliteDatabase db;
};

TEST_F(SchemaTest, ComposedSql) {
  const FieldDef id{"id", FIELD_INTEGER, 0, FIELD_PRIMARY_KEY | FIELD_AUTOINCREMENT, ""};
  const FieldDef title{"title", FIELD_TEXT, 20, FIELD_NOT_NULL, "'-'"};
  ASSERT_TRUE(db.create_table("t", {id, title}));
  ASSERT_TRUE(db.create_table("only_default", {{"d", FIELD_REAL, 0, FIELD_HAS_DEFAULT, "1.5"}}));
  ASSERT_TRUE(db.add_column("t", {"c", FIELD_TEXT, 20, 0, "DEFAULT 'x'"}));
  ASSERT_TRUE(
      db.add_column("t", {"n", FIELD_INTEGER, 0, FIELD_NOT_NULL | FIELD_HAS_DEFAULT, "DEFAULT 0"}));
  ASSERT_TRUE(db.create_index("ix", "t", "title,c"));
  ASSERT_TRUE(db.create_view("v", "SELECT id FROM t", true));
  ASSERT_TRUE(
      db.create_trigger("t", "tr", "SELECT 1;", TRIGGER_UPDATE_OF, "title,c", TRIGGER_AFTER));

  SqliteStatement schema;
  schema.attach_handle(
      db.prepare("SELECT name, sql FROM sqlite_master UNION ALL "
                 "SELECT name, sql FROM sqlite_temp_master ORDER BY 1"));
  std::map<std::string, std::string> sql;
  while (schema.step_row()) sql[schema.column_text(0).bytes()] = schema.column_text(1).bytes();
  const std::map<std::string, std::string> expected = {
      {"t",
       "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT,title TEXT(20)  NOT NULL DEFAULT "
       "'-', c TEXT, n INTEGER  NOT NULL DEFAULT 0)"},
      {"only_default", "CREATE TABLE only_default (d REAL  DEFAULT 1.5)"},
      {"ix", "CREATE INDEX ix ON t(title,c)"},
      {"v", "CREATE VIEW v AS SELECT id FROM t"},
      {"tr", "CREATE TRIGGER tr AFTER UPDATE OF title,c ON t BEGIN SELECT 1; END"},
  };
  for (const auto& [name, text] : expected) EXPECT_EQ(sql[name], text) << name;
}

TEST_F(SchemaTest, WordsAndVerdicts) {
  EXPECT_EQ(SqliteDatabase::type_name(4), Text("BLOB"));
  EXPECT_EQ(SqliteDatabase::type_name(10), Text("NULL"));
  EXPECT_EQ(SqliteDatabase::constraint_text(FIELD_PRIMARY_KEY | FIELD_NOT_NULL),
            Text("PRIMARY KEY NOT NULL"));
  EXPECT_EQ(SqliteDatabase::constraint_text(FIELD_NOT_NULL | FIELD_HAS_DEFAULT), Text(" NOT NULL"));
  EXPECT_EQ(SqliteDatabase::constraint_text(FIELD_HAS_DEFAULT), Text(""));

  EXPECT_TRUE(db.create_table("empty", {}));
  EXPECT_FALSE(db.table_exists("empty"));
  EXPECT_TRUE(db.drop_table("missing"));
  EXPECT_TRUE(db.drop_index("missing"));
  Text error;
  EXPECT_FALSE(db.drop_view("missing", &error));
  EXPECT_EQ(error, Text("no such view: missing"));
  EXPECT_FALSE(db.drop_trigger("missing"));
  EXPECT_FALSE(db.create_trigger("t", "x", "SELECT 1;", 9));

  ASSERT_TRUE(db.exec("CREATE TABLE food (a)"));
  EXPECT_TRUE(db.table_exists("food"));
  EXPECT_FALSE(db.table_exists("FOOD"));
  EXPECT_TRUE(db.rename_table("food", "meal"));
  EXPECT_TRUE(db.table_exists("meal"));
  EXPECT_TRUE(db.create_index("ix", "meal", "a"));
  EXPECT_TRUE(db.create_index("ix", "meal", "a")) << "IF NOT EXISTS";

  SqliteStatement tables;
  tables.attach_handle(db.query_tables());
  ASSERT_TRUE(tables.step_row());
  EXPECT_EQ(tables.column_text(0), Text("meal"));
  SqliteStatement indexes;
  indexes.attach_handle(db.query_indexes("meal"));
  ASSERT_TRUE(indexes.step_row());
  EXPECT_EQ(indexes.column_text(0), Text("ix"));

  tables.finalize();
  indexes.finalize();
  EXPECT_TRUE(db.attach_database(":memory:", "other"));
  EXPECT_TRUE(db.detach_database("other"));
  EXPECT_FALSE(db.detach_database("other"));
  // This library build accepts the KEY clause and ignores it.
  EXPECT_TRUE(db.attach_database(":memory:", "keyed", Text(""), &error));
}

}  // namespace
}  // namespace database
