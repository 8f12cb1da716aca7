#pragma once

// The SQLite library, reached by name at first use: each function is looked up by its export name
// the first time it is called and remembered afterwards, and the library itself is loaded then.
// A missing library or function is fatal: a message naming both, then the process ends.
// Internal to database/: only its .cpp files include this header.

#include <sqlite3.h>

#include <string>

namespace database::library {

#define HARVEST_SQLITE_FUNCTIONS(X)                                                                \
  X(sqlite3_open_v2)                                                                               \
  X(sqlite3_close)                                                                                 \
  X(sqlite3_errcode)                                                                               \
  X(sqlite3_errmsg)                                                                                \
  X(sqlite3_libversion)                                                                            \
  X(sqlite3_busy_timeout)                                                                          \
  X(sqlite3_exec)                                                                                  \
  X(sqlite3_free)                                                                                  \
  X(sqlite3_prepare_v2) X(sqlite3_finalize) X(sqlite3_interrupt) X(sqlite3_changes) X(             \
      sqlite3_config) X(sqlite3_sql) X(sqlite3_column_count) X(sqlite3_bind_null)                  \
      X(sqlite3_bind_zeroblob) X(sqlite3_bind_double) X(sqlite3_bind_text) X(                      \
          sqlite3_bind_int64) X(sqlite3_bind_int) X(sqlite3_bind_blob)                             \
          X(sqlite3_bind_parameter_count) X(sqlite3_bind_parameter_name) X(                        \
              sqlite3_bind_parameter_index) X(sqlite3_reset) X(sqlite3_step) X(sqlite3_data_count) \
              X(sqlite3_column_bytes) X(sqlite3_column_name) X(sqlite3_column_table_name) X(       \
                  sqlite3_column_database_name) X(sqlite3_column_decltype) X(sqlite3_column_type)  \
                  X(sqlite3_clear_bindings) X(sqlite3_column_text) X(sqlite3_column_int) X(        \
                      sqlite3_column_double) X(sqlite3_column_int64) X(sqlite3_column_blob)        \
                      X(sqlite3_open) X(sqlite3_backup_init) X(sqlite3_backup_step) X(             \
                          sqlite3_backup_remaining) X(sqlite3_backup_pagecount) X(sqlite3_sleep)   \
                          X(sqlite3_backup_finish) X(sqlite3_create_function) X(sqlite3_user_data) \
                              X(sqlite3_value_type) X(sqlite3_value_bytes) X(sqlite3_value_text)   \
                                  X(sqlite3_value_blob) X(sqlite3_value_double)                    \
                                      X(sqlite3_value_int) X(sqlite3_value_int64)                  \
                                          X(sqlite3_result_text) X(sqlite3_result_blob)            \
                                              X(sqlite3_result_int) X(sqlite3_result_int64)        \
                                                  X(sqlite3_result_double) X(sqlite3_result_null)
// Present only in encryption-capable builds, so <sqlite3.h> does not declare them.
#define HARVEST_SQLITE_KEY_FUNCTIONS(X) X(sqlite3_key) X(sqlite3_rekey)

enum class Symbol : int {
#define HARVEST_SQLITE_ENUM(name) name,
  HARVEST_SQLITE_FUNCTIONS(HARVEST_SQLITE_ENUM) HARVEST_SQLITE_KEY_FUNCTIONS(HARVEST_SQLITE_ENUM)
#undef HARVEST_SQLITE_ENUM
      count
};

using KeyFunction = int (*)(sqlite3*, const void*, int);
template <Symbol S>
struct Signature;
#define HARVEST_SQLITE_SIGNATURE(name) \
  template <>                          \
  struct Signature<Symbol::name> {     \
    using type = decltype(&::name);    \
  };
HARVEST_SQLITE_FUNCTIONS(HARVEST_SQLITE_SIGNATURE)
#undef HARVEST_SQLITE_SIGNATURE
template <>
struct Signature<Symbol::sqlite3_key> {
  using type = KeyFunction;
};
template <>
struct Signature<Symbol::sqlite3_rekey> {
  using type = KeyFunction;
};

// The address of a library function; never returns when it cannot be found.
void* resolve(Symbol symbol);

// Test seams: the library file to load (before first use), and a substitute for one function.
void set_library_file(std::string file);
void set_substitute(Symbol symbol, void* address);

}  // namespace database::library

// SQLITE(sqlite3_exec)(...) calls the library function by its name.
#define SQLITE(name)                                                                      \
  (reinterpret_cast<                                                                      \
      typename ::database::library::Signature< ::database::library::Symbol::name>::type>( \
      ::database::library::resolve(::database::library::Symbol::name)))
