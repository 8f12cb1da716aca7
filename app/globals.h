#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "concurrency/lock.h"
#include "concurrency/thread_pool.h"
#include "core/text.h"
#include "database/sqlite_database.h"

// What the whole application shares. The objects live on the heap from start-up to the end,
// constructed in declaration order and destroyed in the same order (first constructed, first
// destroyed).
namespace app {

using core::Text;

inline constexpr std::int32_t LAST_PAGE_ID = 1450;
inline constexpr std::int32_t MAX_ACTIVE_TASKS = 5;
inline constexpr std::int32_t REFERENCE_PAGE_ID = 1450;
inline constexpr int NUTRIENT_COUNT = 24;
inline constexpr int NUTRIENT_COLUMN_WIDTH = 200;

// The last page id handed out; taken under id_lock, read without it by the crawl driver.
extern std::atomic<std::int32_t> next_id;
// Page tasks started and not yet finished; changed under active_lock.
extern std::atomic<std::int32_t> active_tasks;

extern std::unique_ptr<concurrency::ThreadPool> task_pool;
extern std::unique_ptr<concurrency::Lock> id_lock;  // the taking of page ids
extern std::unique_ptr<concurrency::Lock> db_lock;  // every statement on food_db
extern std::unique_ptr<database::SqliteDatabase> food_db;
extern std::unique_ptr<concurrency::Lock> active_lock;  // active_tasks
extern std::unique_ptr<concurrency::Lock> log_lock;     // the log box

// The record site's address: scheme, host and optional port.
void set_record_site(const Text& address);
// The record site's address of page `id`.
Text page_url(std::int32_t id);

void construct_globals();
// Ends the run: requests under way are abandoned, the pool is stopped without waiting, and the
// other objects are destroyed once no page task can touch them any more. A task stuck beyond the
// grace period keeps them alive: the process then ends without destroying them (every stored
// row is already safe in the database).
void destroy_globals();

// Appends `line` and CR LF to the log box, and writes it to standard output as UTF-8. Any thread.
void progress_log(const Text& line);

// A page task calls this first and, when it returns false (the program is ending), does nothing
// and must not call task_finished.
bool task_starting();
void task_finished();

}  // namespace app
