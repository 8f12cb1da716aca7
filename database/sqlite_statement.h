#pragma once

#include <cstdint>
#include <vector>

#include "core/text.h"

struct sqlite3_stmt;

namespace database {

using core::ByteBuffer;
using core::Text;

// One prepared statement, taken over from SqliteDatabase::prepare with attach_handle. The library
// reads bound texts and blobs from the object's own copies (it is not asked to copy them), so a
// copy lives until its position is bound again or the object is destroyed. Parameter positions
// count from 1, columns from 0. Operations on an object without a statement fail without calling
// the library (false, 0, "", an empty buffer or -1). Errors are the connection's: ask it for
// error_code and error_message.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // False when no statement is held. The library releases the statement even when it reports an
  // error, so the handle is never kept after this call.
  bool finalize();
  // Takes over `statement`; with `finalize_previous` the one held now is finalised, otherwise it
  // stays the caller's to release. Always true.
  bool attach_handle(sqlite3_stmt* statement, bool finalize_previous = true);
  sqlite3_stmt* handle() const { return stmt; }
  Text sql_text() const;
  std::int32_t column_count() const;

  bool bind_null(int position);
  bool bind_zeroblob(int position, std::int32_t byte_count);
  bool bind_double(int position, double value);
  // An empty text binds the empty text, not NULL. False (nothing stored) for a position outside
  // 1..parameter_count.
  bool bind_text(int position, const Text& text);
  bool bind_int64(int position, std::int64_t value);
  bool bind_int(int position, std::int32_t value);
  // An empty buffer binds NULL. False (nothing stored) outside 1..parameter_count.
  bool bind_blob(int position, const ByteBuffer& bytes);
  // Keeps a copy of `bytes` for `position`; false when the position is outside
  // 1..parameter_count.
  bool keep_value(int position, const ByteBuffer& bytes);
  std::int32_t parameter_count() const;
  Text parameter_name(int position) const;
  // 0 when no parameter has that name (prefix character included).
  std::int32_t parameter_index(const Text& name) const;
  bool reset();
  // True exactly when a row is ready (false at the end and on error: use step to tell).
  bool step_row();
  std::int32_t step();
  std::int32_t data_count() const;
  std::int32_t column_bytes(int column) const;
  Text column_name(int column) const;
  Text column_table_name(int column) const;
  Text column_database_name(int column) const;
  // The first column with exactly this name; -1 when none.
  std::int32_t column_index(const Text& name) const;
  Text column_decltype(int column) const;
  std::int32_t column_type(int column) const;
  bool clear_bindings();
  // "" for NULL.
  Text column_text(int column) const;
  // False for NULL, and `out` unchanged.
  bool read_column_text(int column, Text& out) const;
  std::int32_t column_int(int column) const;
  float column_float(int column) const;
  double column_double(int column) const;
  std::int64_t column_int64(int column) const;
  ByteBuffer column_blob(int column) const;
  // False for NULL and for a blob of 0 bytes, and `out` unchanged.
  bool read_column_blob(int column, ByteBuffer& out) const;

 private:
  sqlite3_stmt* stmt = nullptr;
  std::vector<ByteBuffer> kept_values;  // entry k-1 for parameter k
};

}  // namespace database
