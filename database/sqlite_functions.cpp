// Backup and SQL functions of SqliteDatabase.
#include "database/library_text.h"
#include "database/sqlite_database.h"
#include "database/sqlite_library.h"

#include <cstdlib>
#include <cstring>

namespace database {

bool SqliteDatabase::backup_to(const Text& file, BackupProgress progress,
                               const std::optional<Text>& schema) {
  if (!handle_) return false;
  const Text source_schema = schema ? *schema : Text("main");
  const ByteBuffer name = utf8_c_string(file);
  sqlite3* destination = nullptr;
  if (SQLITE(sqlite3_open)(reinterpret_cast<const char*>(name.data()), &destination) != SQLITE_OK) {
    SQLITE(sqlite3_close)(destination);
    return false;
  }
  // The schema names go to the library unconverted.
  sqlite3_backup* backup =
      SQLITE(sqlite3_backup_init)(destination, "main", handle_, source_schema.c_str());
  if (!backup) {
    SQLITE(sqlite3_close)(destination);
    return false;
  }
  int rc;
  do {
    rc = SQLITE(sqlite3_backup_step)(backup, BACKUP_PAGES_PER_STEP);
    if (progress)
      progress(SQLITE(sqlite3_backup_remaining)(backup), SQLITE(sqlite3_backup_pagecount)(backup));
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) SQLITE(sqlite3_sleep)(BACKUP_RETRY_SLEEP_MS);
  } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
  const bool finished = SQLITE(sqlite3_backup_finish)(backup) == SQLITE_OK;
  SQLITE(sqlite3_close)(destination);
  return finished;
}

bool SqliteDatabase::create_function(const Text& name, std::int32_t argument_count, void* user_data,
                                     ScalarFunction scalar, StepFunction step,
                                     FinalFunction final) {
  if (!handle_) return false;
  const ByteBuffer utf8 = utf8_c_string(name);
  return SQLITE(sqlite3_create_function)(handle_, reinterpret_cast<const char*>(utf8.data()),
                                         argument_count, SQLITE_ANY, user_data, scalar, step,
                                         final) == SQLITE_OK;
}

void* SqliteDatabase::user_data(sqlite3_context* context) {
  return SQLITE(sqlite3_user_data)(context);
}

std::int32_t SqliteDatabase::value_type(sqlite3_value* value) {
  return SQLITE(sqlite3_value_type)(value);
}

std::int32_t SqliteDatabase::value_bytes(sqlite3_value* value) {
  return SQLITE(sqlite3_value_bytes)(value);
}

Text SqliteDatabase::value_text(sqlite3_value* value) {
  const unsigned char* text = SQLITE(sqlite3_value_text)(value);
  if (!text) return {};
  return from_utf8(ByteBuffer(text, text + value_bytes(value)));
}

ByteBuffer SqliteDatabase::value_blob(sqlite3_value* value) {
  const void* blob = SQLITE(sqlite3_value_blob)(value);
  if (!blob) return {};
  const auto* begin = static_cast<const std::uint8_t*>(blob);
  return ByteBuffer(begin, begin + value_bytes(value));
}

double SqliteDatabase::value_double(sqlite3_value* value) {
  return SQLITE(sqlite3_value_double)(value);
}

std::int32_t SqliteDatabase::value_int(sqlite3_value* value) {
  return SQLITE(sqlite3_value_int)(value);
}

std::int64_t SqliteDatabase::value_int64(sqlite3_value* value) {
  return SQLITE(sqlite3_value_int64)(value);
}

namespace {
// The bytes handed to a result operation. The UTF-8 text is a temporary of ours, so it is only
// ever lent to the library when the library copies it at once (the transient marker): the static
// marker would leave the library pointing at freed memory, so it is copied as well; a caller's own
// destructor receives a malloc'd copy, which it owns and must release with free().
struct ResultBytes {
  const void* data;
  Destructor destructor;
};
ResultBytes lend(const void* data, std::size_t size, std::optional<Destructor> destructor) {
  if (!destructor || *destructor == SQLITE_STATIC || *destructor == SQLITE_TRANSIENT || !data)
    return {data, SQLITE_TRANSIENT};
  void* copy = std::malloc(size == 0 ? 1 : size);
  if (!copy) return {data, SQLITE_TRANSIENT};
  std::memcpy(copy, data, size);
  return {copy, *destructor};
}
}  // namespace

// The length passed leaves the terminating zero out: counted in, it would become part of the
// result text.
void SqliteDatabase::result_text(sqlite3_context* context, const Text& text,
                                 std::optional<Destructor> destructor) {
  const ByteBuffer utf8 = utf8_c_string(text);
  const ResultBytes bytes = lend(utf8.data(), utf8.size(), destructor);
  SQLITE(sqlite3_result_text)
  (context, static_cast<const char*>(bytes.data), static_cast<int>(utf8.size()) - 1,
   bytes.destructor);
}

void SqliteDatabase::result_blob(sqlite3_context* context, const ByteBuffer& bytes,
                                 std::optional<Destructor> destructor) {
  const ResultBytes lent = lend(bytes.empty() ? nullptr : bytes.data(), bytes.size(), destructor);
  SQLITE(sqlite3_result_blob)(context, lent.data, static_cast<int>(bytes.size()), lent.destructor);
}

void SqliteDatabase::result_int(sqlite3_context* context, std::int32_t value) {
  SQLITE(sqlite3_result_int)(context, value);
}

void SqliteDatabase::result_int64(sqlite3_context* context, std::int64_t value) {
  SQLITE(sqlite3_result_int64)(context, value);
}

void SqliteDatabase::result_double(sqlite3_context* context, double value) {
  SQLITE(sqlite3_result_double)(context, value);
}

void SqliteDatabase::result_null(sqlite3_context* context) {
  SQLITE(sqlite3_result_null)(context);
}

}  // namespace database
