#include "app/globals.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/codepage.h"
#include "http/web_request.h"
#include "ui/toolkit.h"

namespace app {

std::atomic<std::int32_t> next_id{0};
std::atomic<std::int32_t> active_tasks{0};

std::unique_ptr<concurrency::ThreadPool> task_pool;
std::unique_ptr<concurrency::Lock> id_lock;
std::unique_ptr<concurrency::Lock> db_lock;
std::unique_ptr<database::SqliteDatabase> food_db;
std::unique_ptr<concurrency::Lock> active_lock;
std::unique_ptr<concurrency::Lock> log_lock;

namespace {

Text site_address = "https://127.0.0.1:8443";

// Page tasks that have entered and not yet left, and whether the program is ending: a task checks
// the flag after counting itself, and the end checks the count after raising the flag, so every
// task either sees the end coming or is waited for.
std::atomic<int> tasks_in_flight{0};
std::atomic<bool> ending{false};

constexpr auto kEndGrace = std::chrono::milliseconds(3000);

}  // namespace

void set_record_site(const Text& address) {
  site_address = address;
}

Text page_url(std::int32_t id) {
  return site_address + "/wochuo.asp?id=" + Text::number(id);
}

void construct_globals() {
  ending = false;
  http::allow_requests();
  next_id = 0;
  active_tasks = 0;
  task_pool = std::make_unique<concurrency::ThreadPool>();
  id_lock = std::make_unique<concurrency::Lock>();
  db_lock = std::make_unique<concurrency::Lock>();
  food_db = std::make_unique<database::SqliteDatabase>();
  active_lock = std::make_unique<concurrency::Lock>();
  log_lock = std::make_unique<concurrency::Lock>();
}

bool task_starting() {
  tasks_in_flight.fetch_add(1);
  if (!ending.load()) return true;
  tasks_in_flight.fetch_sub(1);
  return false;
}

void task_finished() {
  tasks_in_flight.fetch_sub(1);
}

void destroy_globals() {
  ending = true;
  http::abort_all_requests();
  task_pool.reset();  // stops without waiting: queued tasks are dropped
  const auto deadline = std::chrono::steady_clock::now() + kEndGrace;
  while (tasks_in_flight.load() > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::fflush(stdout);
      std::_Exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  id_lock.reset();
  db_lock.reset();
  food_db.reset();
  active_lock.reset();
  log_lock.reset();
}

void progress_log(const Text& line) {
  // Once the window has closed there is no box to show the line, and what a task still does then
  // (its requests are being abandoned) is not an outcome worth reporting.
  if (ui::main_window_closed()) return;
  concurrency::LockGuard hold(*log_lock);
  const Text shown = line + "\r\n";
  ui::append_to_log(shown);
  const std::string utf8 = core::gbk_to_utf8(line.view()) + "\n";
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace app
