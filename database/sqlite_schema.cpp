// The schema builders of SqliteDatabase: SQL composed from names and definitions, run through
// exec and prepare.
#include "database/sqlite_database.h"
#include "database/sqlite_statement.h"

namespace database {

sqlite3_stmt* SqliteDatabase::query_tables() {
  return prepare(
      "select tbl_name,sql from sqlite_master where type='table' and "
      "tbl_name<>'sqlite_sequence'");
}

sqlite3_stmt* SqliteDatabase::query_indexes(const Text& table) {
  return prepare(Text("select name,sql from sqlite_master where type='index' and tbl_name='") +
                 table + "'");
}

sqlite3_stmt* SqliteDatabase::query_views() {
  return prepare("select name,sql from sqlite_master where type='view'");
}

sqlite3_stmt* SqliteDatabase::query_triggers(const Text& table) {
  return prepare(Text("select name,sql from sqlite_master where type='trigger' and tbl_name='") +
                 table + "'");
}

bool SqliteDatabase::table_exists(const Text& table) {
  SqliteStatement statement;
  statement.attach_handle(
      prepare("select count(*) from sqlite_master where type='table' and tbl_name=?"));
  statement.bind_text(1, table);
  statement.step_row();
  return statement.column_int(0) > 0;
}

Text SqliteDatabase::type_name(std::int32_t type) {
  switch (type) {
    case FIELD_INTEGER:
      return "INTEGER";
    case FIELD_TEXT:
      return "TEXT";
    case FIELD_REAL:
      return "REAL";
    case FIELD_BLOB:
      return "BLOB";
    default:
      return "NULL";
  }
}

Text SqliteDatabase::constraint_text(std::int32_t flags) {
  Text text = (flags & FIELD_PRIMARY_KEY) ? Text("PRIMARY KEY") : Text();
  if (flags & FIELD_AUTOINCREMENT) text += " AUTOINCREMENT";
  if (flags & FIELD_NOT_NULL) text += " NOT NULL";
  return text;
}

bool SqliteDatabase::create_table(const Text& table, const std::vector<FieldDef>& fields,
                                  Text* error_text) {
  Text columns;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& field = fields[i];
    columns += field.name + " " + type_name(field.type);
    if (field.size != 0) columns += Text("(") + Text::number(field.size) + ")";
    if (field.flags != 0) columns += Text(" ") + constraint_text(field.flags);
    if (!field.default_value.empty()) columns += Text(" DEFAULT ") + field.default_value;
    if (i + 1 < fields.size()) columns += ",";
  }
  const Text sql = fields.empty() ? Text() : Text("CREATE TABLE ") + table + " (" + columns + ")";
  return exec(sql, error_text);
}

bool SqliteDatabase::drop_table(const Text& table, Text* error_text) {
  return exec(Text("DROP TABLE IF EXISTS ") + table, error_text);
}

bool SqliteDatabase::rename_table(const Text& table, const Text& new_name, Text* error_text) {
  return exec(Text("ALTER TABLE ") + table + " RENAME TO " + new_name, error_text);
}

// Unlike create_table: no size clause, and a default only with FIELD_HAS_DEFAULT, after a plain
// space (the default text carries its own DEFAULT keyword).
bool SqliteDatabase::add_column(const Text& table, const FieldDef& field, Text* error_text) {
  Text sql =
      Text("ALTER TABLE ") + table + " ADD COLUMN " + field.name + " " + type_name(field.type);
  if (field.flags != 0) {
    sql += Text(" ") + constraint_text(field.flags);
    if (field.flags & FIELD_HAS_DEFAULT) sql += Text(" ") + field.default_value;
  }
  return exec(sql, error_text);
}

bool SqliteDatabase::create_index(const Text& index, const Text& table, const Text& columns,
                                  Text* error_text) {
  return exec(Text("CREATE INDEX IF NOT EXISTS ") + index + " ON " + table + "(" + columns + ")",
              error_text);
}

bool SqliteDatabase::drop_index(const Text& index, Text* error_text) {
  return exec(Text("DROP INDEX IF EXISTS ") + index, error_text);
}

bool SqliteDatabase::create_view(const Text& view, const Text& select, bool temporary,
                                 Text* error_text) {
  return exec(Text("CREATE ") + (temporary ? Text("TEMPORARY ") : Text()) + "VIEW " + view +
                  " AS " + select,
              error_text);
}

bool SqliteDatabase::drop_view(const Text& view, Text* error_text) {
  return exec(Text("DROP VIEW ") + view, error_text);
}

bool SqliteDatabase::create_trigger(const Text& table, const Text& trigger, const Text& body,
                                    std::int32_t event, const Text& columns, std::int32_t timing,
                                    bool temporary, Text* error_text) {
  Text sql =
      Text("CREATE ") + (temporary ? Text("TEMPORARY ") : Text()) + "TRIGGER " + trigger + " ";
  if (timing == TRIGGER_BEFORE) sql += "BEFORE ";
  if (timing == TRIGGER_AFTER) sql += "AFTER ";
  switch (event) {
    case TRIGGER_INSERT:
      sql += "INSERT ";
      break;
    case TRIGGER_DELETE:
      sql += "DELETE ";
      break;
    case TRIGGER_UPDATE:
      sql += "UPDATE ";
      break;
    case TRIGGER_UPDATE_OF:
      sql += Text("UPDATE OF ") + columns + " ";
      break;
    default:
      break;  // the library rejects the statement
  }
  sql += Text("ON ") + table + " BEGIN " + body + " END";
  return exec(sql, error_text);
}

bool SqliteDatabase::drop_trigger(const Text& trigger, Text* error_text) {
  return exec(Text("DROP TRIGGER ") + trigger, error_text);
}

bool SqliteDatabase::attach_database(const Text& file, const Text& alias,
                                     const std::optional<Text>& key, Text* error_text) {
  Text sql = Text("ATTACH DATABASE '") + file + "' AS " + alias;
  if (key) sql += Text(" KEY '") + *key + "'";
  return exec(sql, error_text);
}

bool SqliteDatabase::detach_database(const Text& alias, Text* error_text) {
  return exec(Text("Detach Database ") + alias, error_text);
}

}  // namespace database
