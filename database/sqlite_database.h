#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/text.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

namespace database {

using core::ByteBuffer;
using core::Text;

// Column types of the schema builders (not the library's own column-type codes).
enum FieldType : std::int32_t { FIELD_INTEGER = 1, FIELD_TEXT = 2, FIELD_REAL = 3, FIELD_BLOB = 4 };
enum FieldFlags : std::int32_t {
  FIELD_PRIMARY_KEY = 1,
  FIELD_AUTOINCREMENT = 2,
  FIELD_NOT_NULL = 4,
  FIELD_HAS_DEFAULT = 8,
};
enum TriggerEvent : std::int32_t {
  TRIGGER_INSERT = 0,
  TRIGGER_DELETE = 1,
  TRIGGER_UPDATE = 2,
  TRIGGER_UPDATE_OF = 3,
};
enum TriggerTiming : std::int32_t { TRIGGER_BEFORE = 1, TRIGGER_AFTER = 2 };

// One column definition for create_table and add_column. Every text goes into the SQL unchanged.
struct FieldDef {
  Text name;
  std::int32_t type = FIELD_TEXT;
  std::int32_t size = 0;   // put in parentheses after the type; 0: none
  std::int32_t flags = 0;  // FieldFlags
  Text default_value;      // "" = none
};

inline constexpr int BACKUP_PAGES_PER_STEP = 5;
inline constexpr int BACKUP_RETRY_SLEEP_MS = 250;

// Pages still to copy and the total page count, after each backup step.
using BackupProgress = void (*)(std::int32_t remaining, std::int32_t page_count);
// SQL-function routines, with the library's own signatures.
using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);
using StepFunction = void (*)(sqlite3_context*, int, sqlite3_value**);
using FinalFunction = void (*)(sqlite3_context*);
using Destructor = void (*)(void*);

// One connection to one SQLite database. Text crosses into the library as UTF-8. No operation
// throws or logs: success is a result, and the reason for a failure is in the optional error text
// or in error_code / error_message. Operations that need a connection fail without calling the
// library while none is held (false, 0, "" or -1). The caller serialises all use of one object.
class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  // Closes the connection (as close); a connection the library refuses to close is left to it.
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Opens `file_name` read-write, creating it only with `create_if_missing`, or a fresh in-memory
  // database when `in_file` is false. A given `key` is set after a successful open (its GBK bytes;
  // the key function's result is not looked at). False when the library refused: the failed
  // handle is kept (every statement then fails) until close. A connection already held is closed
  // first, so it is never leaked.
  bool open(const Text& file_name, bool in_file, bool create_if_missing = false,
            const std::optional<Text>& key = std::nullopt);
  // True when a held connection was closed; false when none is held or the library refused
  // (unfinalised statements), in which case the connection stays open.
  bool close();
  bool rekey(const std::optional<Text>& key = std::nullopt);
  std::int32_t error_code() const;
  // The library's message; "获取指针数据失败！" when it gives none.
  Text error_message() const;
  sqlite3* handle() const { return handle_; }
  Text library_version() const;
  bool set_busy_timeout(std::int32_t milliseconds);
  // Runs every statement of `sql`. `error_text`, when given, receives the library's message
  // ("" on success).
  bool exec(const Text& sql, Text* error_text = nullptr);
  // Compiles the first statement of `sql`; null on failure (reason in error_message). The caller
  // attaches it to a SqliteStatement or releases it with finalize_handle.
  sqlite3_stmt* prepare(const Text& sql);

  // Schema queries: rows of (name, sql). Null on failure.
  sqlite3_stmt* query_tables();
  sqlite3_stmt* query_indexes(const Text& table);
  sqlite3_stmt* query_views();
  sqlite3_stmt* query_triggers(const Text& table);
  // Case-sensitive; false when the query cannot be prepared.
  bool table_exists(const Text& table);
  static Text type_name(std::int32_t type);
  static Text constraint_text(std::int32_t flags);
  // The composers below put every name and text into the SQL unchanged: they are for trusted
  // schema text, and a value that needs quoting must arrive quoted.
  bool create_table(const Text& table, const std::vector<FieldDef>& fields,
                    Text* error_text = nullptr);
  bool drop_table(const Text& table, Text* error_text = nullptr);
  bool rename_table(const Text& table, const Text& new_name, Text* error_text = nullptr);
  bool add_column(const Text& table, const FieldDef& field, Text* error_text = nullptr);
  bool create_index(const Text& index, const Text& table, const Text& columns,
                    Text* error_text = nullptr);
  bool drop_index(const Text& index, Text* error_text = nullptr);
  bool create_view(const Text& view, const Text& select, bool temporary = false,
                   Text* error_text = nullptr);
  bool drop_view(const Text& view, Text* error_text = nullptr);
  bool create_trigger(const Text& table, const Text& trigger, const Text& body, std::int32_t event,
                      const Text& columns = {}, std::int32_t timing = 0, bool temporary = false,
                      Text* error_text = nullptr);
  bool drop_trigger(const Text& trigger, Text* error_text = nullptr);

  bool begin_transaction();
  bool commit();
  bool rollback();
  void interrupt();
  bool vacuum(Text* error_text = nullptr);
  std::int32_t changes() const;
  bool attach_database(const Text& file, const Text& alias,
                       const std::optional<Text>& key = std::nullopt, Text* error_text = nullptr);
  bool detach_database(const Text& alias, Text* error_text = nullptr);

  // Copies database `schema` ("main" when absent) of this connection into `file`, replacing what
  // it held, 5 pages a step, pausing 250 ms whenever the source is busy or locked.
  bool backup_to(const Text& file, BackupProgress progress = nullptr,
                 const std::optional<Text>& schema = std::nullopt);
  // False for a null handle; true when the library finalised it without error.
  static bool finalize_handle(sqlite3_stmt* statement);
  // The library's code for sqlite3_config(option), unchanged.
  static std::int32_t configure(std::int32_t option);

  bool create_function(const Text& name, std::int32_t argument_count, void* user_data = nullptr,
                       ScalarFunction scalar = nullptr, StepFunction step = nullptr,
                       FinalFunction final = nullptr);
  // For SQL-function routines: their context and arguments.
  static void* user_data(sqlite3_context* context);
  static std::int32_t value_type(sqlite3_value* value);
  static std::int32_t value_bytes(sqlite3_value* value);
  static Text value_text(sqlite3_value* value);
  static ByteBuffer value_blob(sqlite3_value* value);
  static double value_double(sqlite3_value* value);
  static std::int32_t value_int(sqlite3_value* value);
  static std::int64_t value_int64(sqlite3_value* value);
  // `destructor` absent: the library copies the value at once. A destructor of the caller's
  // receives a malloc'd copy of the bytes and must release it with free().
  static void result_text(sqlite3_context* context, const Text& text,
                          std::optional<Destructor> destructor = std::nullopt);
  static void result_blob(sqlite3_context* context, const ByteBuffer& bytes,
                          std::optional<Destructor> destructor = std::nullopt);
  static void result_int(sqlite3_context* context, std::int32_t value);
  static void result_int64(sqlite3_context* context, std::int64_t value);
  static void result_double(sqlite3_context* context, double value);
  static void result_null(sqlite3_context* context);

 private:
  sqlite3* handle_ = nullptr;
};

}  // namespace database
