#include "database/sqlite_statement.h"

#include "database/library_text.h"
#include "database/sqlite_library.h"

namespace database {

namespace {
// A valid address for binding zero bytes: a null pointer would bind NULL instead.
const char kNoBytes[1] = {0};
}  // namespace

SqliteStatement::~SqliteStatement() {
  finalize();
}

bool SqliteStatement::finalize() {
  if (!stmt) return false;
  const int rc = SQLITE(sqlite3_finalize)(stmt);
  stmt = nullptr;  // released by the library whatever it reports
  return rc == SQLITE_OK;
}

bool SqliteStatement::attach_handle(sqlite3_stmt* statement, bool finalize_previous) {
  if (finalize_previous) finalize();
  stmt = statement;
  return true;
}

Text SqliteStatement::sql_text() const {
  return stmt ? from_library_text(SQLITE(sqlite3_sql)(stmt)) : Text();
}

std::int32_t SqliteStatement::column_count() const {
  return stmt ? SQLITE(sqlite3_column_count)(stmt) : 0;
}

bool SqliteStatement::bind_null(int position) {
  return stmt && SQLITE(sqlite3_bind_null)(stmt, position) == SQLITE_OK;
}

bool SqliteStatement::bind_zeroblob(int position, std::int32_t byte_count) {
  return stmt && SQLITE(sqlite3_bind_zeroblob)(stmt, position, byte_count) == SQLITE_OK;
}

bool SqliteStatement::bind_double(int position, double value) {
  return stmt && SQLITE(sqlite3_bind_double)(stmt, position, value) == SQLITE_OK;
}

bool SqliteStatement::bind_text(int position, const Text& text) {
  if (!keep_value(position, to_utf8(text))) return false;
  const ByteBuffer& kept = kept_values[position - 1];
  const char* bytes = kept.empty() ? kNoBytes : reinterpret_cast<const char*>(kept.data());
  return SQLITE(sqlite3_bind_text)(stmt, position, bytes, static_cast<int>(kept.size()),
                                   SQLITE_STATIC) == SQLITE_OK;
}

bool SqliteStatement::bind_int64(int position, std::int64_t value) {
  return stmt && SQLITE(sqlite3_bind_int64)(stmt, position, value) == SQLITE_OK;
}

bool SqliteStatement::bind_int(int position, std::int32_t value) {
  return stmt && SQLITE(sqlite3_bind_int)(stmt, position, value) == SQLITE_OK;
}

bool SqliteStatement::bind_blob(int position, const ByteBuffer& bytes) {
  if (!keep_value(position, bytes)) return false;
  const ByteBuffer& kept = kept_values[position - 1];
  return SQLITE(sqlite3_bind_blob)(stmt, position, kept.empty() ? nullptr : kept.data(),
                                   static_cast<int>(kept.size()), SQLITE_STATIC) == SQLITE_OK;
}

bool SqliteStatement::keep_value(int position, const ByteBuffer& bytes) {
  const int count = parameter_count();
  if (position < 1 || position > count) return false;
  if (static_cast<int>(kept_values.size()) < position) kept_values.resize(count);
  kept_values[position - 1] = bytes;
  return true;
}

std::int32_t SqliteStatement::parameter_count() const {
  return stmt ? SQLITE(sqlite3_bind_parameter_count)(stmt) : 0;
}

Text SqliteStatement::parameter_name(int position) const {
  return stmt ? from_library_text(SQLITE(sqlite3_bind_parameter_name)(stmt, position)) : Text();
}

std::int32_t SqliteStatement::parameter_index(const Text& name) const {
  if (!stmt) return 0;
  const ByteBuffer utf8 = utf8_c_string(name);
  return SQLITE(sqlite3_bind_parameter_index)(stmt, reinterpret_cast<const char*>(utf8.data()));
}

bool SqliteStatement::reset() {
  return stmt && SQLITE(sqlite3_reset)(stmt) == SQLITE_OK;
}

bool SqliteStatement::step_row() {
  return step() == SQLITE_ROW;
}

std::int32_t SqliteStatement::step() {
  return stmt ? SQLITE(sqlite3_step)(stmt) : -1;
}

std::int32_t SqliteStatement::data_count() const {
  return stmt ? SQLITE(sqlite3_data_count)(stmt) : 0;
}

std::int32_t SqliteStatement::column_bytes(int column) const {
  return stmt ? SQLITE(sqlite3_column_bytes)(stmt, column) : 0;
}

Text SqliteStatement::column_name(int column) const {
  return stmt ? from_library_text(SQLITE(sqlite3_column_name)(stmt, column)) : Text();
}

Text SqliteStatement::column_table_name(int column) const {
  return stmt ? from_library_text(SQLITE(sqlite3_column_table_name)(stmt, column)) : Text();
}

Text SqliteStatement::column_database_name(int column) const {
  return stmt ? from_library_text(SQLITE(sqlite3_column_database_name)(stmt, column)) : Text();
}

std::int32_t SqliteStatement::column_index(const Text& name) const {
  const int count = column_count();
  for (int column = 0; column < count; ++column)
    if (column_name(column) == name) return column;
  return -1;
}

Text SqliteStatement::column_decltype(int column) const {
  return stmt ? from_library_text(SQLITE(sqlite3_column_decltype)(stmt, column)) : Text();
}

std::int32_t SqliteStatement::column_type(int column) const {
  return stmt ? SQLITE(sqlite3_column_type)(stmt, column) : -1;
}

bool SqliteStatement::clear_bindings() {
  return stmt && SQLITE(sqlite3_clear_bindings)(stmt) == SQLITE_OK;
}

Text SqliteStatement::column_text(int column) const {
  Text text;
  read_column_text(column, text);
  return text;
}

bool SqliteStatement::read_column_text(int column, Text& out) const {
  if (!stmt) return false;
  const unsigned char* text = SQLITE(sqlite3_column_text)(stmt, column);
  if (!text) return false;
  out = from_library_text(reinterpret_cast<const char*>(text));
  return true;
}

std::int32_t SqliteStatement::column_int(int column) const {
  return stmt ? SQLITE(sqlite3_column_int)(stmt, column) : 0;
}

float SqliteStatement::column_float(int column) const {
  return static_cast<float>(column_double(column));
}

double SqliteStatement::column_double(int column) const {
  return stmt ? SQLITE(sqlite3_column_double)(stmt, column) : 0.0;
}

std::int64_t SqliteStatement::column_int64(int column) const {
  return stmt ? SQLITE(sqlite3_column_int64)(stmt, column) : 0;
}

ByteBuffer SqliteStatement::column_blob(int column) const {
  ByteBuffer bytes;
  read_column_blob(column, bytes);
  return bytes;
}

bool SqliteStatement::read_column_blob(int column, ByteBuffer& out) const {
  if (!stmt) return false;
  const void* blob = SQLITE(sqlite3_column_blob)(stmt, column);
  if (!blob) return false;
  const auto* begin = static_cast<const std::uint8_t*>(blob);
  out.assign(begin, begin + column_bytes(column));
  return true;
}

}  // namespace database
