#include "database/sqlite_database.h"

#include "core/codepage.h"
#include "database/library_text.h"
#include "database/sqlite_library.h"

namespace database {

namespace {
const char* c_str(const ByteBuffer& zero_terminated) {
  return reinterpret_cast<const char*>(zero_terminated.data());
}
}  // namespace

SqliteDatabase::~SqliteDatabase() {
  close();
}

bool SqliteDatabase::open(const Text& file_name, bool in_file, bool create_if_missing,
                          const std::optional<Text>& key) {
  close();
  const ByteBuffer name = utf8_c_string(in_file ? file_name : Text(":memory:"));
  const int flags = SQLITE_OPEN_READWRITE | (create_if_missing ? SQLITE_OPEN_CREATE : 0);
  if (SQLITE(sqlite3_open_v2)(c_str(name), &handle_, flags, nullptr) != SQLITE_OK) return false;
  if (key) SQLITE(sqlite3_key)(handle_, key->c_str(), key->length());
  return true;
}

bool SqliteDatabase::close() {
  if (!handle_) return false;
  if (SQLITE(sqlite3_close)(handle_) != SQLITE_OK) return false;
  handle_ = nullptr;
  return true;
}

bool SqliteDatabase::rekey(const std::optional<Text>& key) {
  if (!handle_) return false;
  const bool given = key && !key->empty();
  return SQLITE(sqlite3_rekey)(handle_, given ? key->c_str() : nullptr,
                               given ? key->length() : 0) == SQLITE_OK;
}

std::int32_t SqliteDatabase::error_code() const {
  return handle_ ? SQLITE(sqlite3_errcode)(handle_) : -1;
}

Text SqliteDatabase::error_message() const {
  if (!handle_) return {};
  const char* message = SQLITE(sqlite3_errmsg)(handle_);
  if (!message) return core::gbk(u8"获取指针数据失败！");
  return from_library_text(message);
}

Text SqliteDatabase::library_version() const {
  const char* version = SQLITE(sqlite3_libversion)();
  return version ? Text::from_bytes(version) : Text();
}

bool SqliteDatabase::set_busy_timeout(std::int32_t milliseconds) {
  return handle_ && SQLITE(sqlite3_busy_timeout)(handle_, milliseconds) == SQLITE_OK;
}

bool SqliteDatabase::exec(const Text& sql, Text* error_text) {
  if (!handle_) return false;
  const ByteBuffer statement = utf8_c_string(sql);
  char* message = nullptr;
  const int rc = SQLITE(sqlite3_exec)(handle_, c_str(statement), nullptr, nullptr, &message);
  if (error_text) *error_text = from_library_text(message);
  SQLITE(sqlite3_free)(message);
  return rc == SQLITE_OK;
}

sqlite3_stmt* SqliteDatabase::prepare(const Text& sql) {
  if (!handle_) return nullptr;
  const ByteBuffer statement = utf8_c_string(sql);
  sqlite3_stmt* prepared = nullptr;
  const char* tail = nullptr;
  if (SQLITE(sqlite3_prepare_v2)(handle_, c_str(statement), static_cast<int>(statement.size()),
                                 &prepared, &tail) == SQLITE_OK)
    return prepared;
  SQLITE(sqlite3_finalize)(prepared);
  return nullptr;
}

bool SqliteDatabase::begin_transaction() {
  return exec("BEGIN");
}
bool SqliteDatabase::commit() {
  return exec("COMMIT");
}
bool SqliteDatabase::rollback() {
  return exec("ROLLBACK");
}

void SqliteDatabase::interrupt() {
  if (handle_) SQLITE(sqlite3_interrupt)(handle_);
}

bool SqliteDatabase::vacuum(Text* error_text) {
  return exec("VACUUM", error_text);
}

std::int32_t SqliteDatabase::changes() const {
  return handle_ ? SQLITE(sqlite3_changes)(handle_) : 0;
}

bool SqliteDatabase::finalize_handle(sqlite3_stmt* statement) {
  return statement && SQLITE(sqlite3_finalize)(statement) == SQLITE_OK;
}

std::int32_t SqliteDatabase::configure(std::int32_t option) {
  return SQLITE(sqlite3_config)(option);
}

}  // namespace database
