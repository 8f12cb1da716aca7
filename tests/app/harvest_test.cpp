#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/harvest.h"
#include "core/codepage.h"
#include "http/web_request.h"
#include "platform/thread_start.h"
#include "tests/support/child_process.h"
#include "ui/toolkit.h"

namespace app {
namespace {

using core::gbk;

// The bundled record site, started once for the suite, its reference page naming its cells
// N1..N24 with units U1..U24.
class HarvestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "harvest_test";
    static char* argv[] = {name, nullptr};
    if (!ui::initialized()) ui::initialize(argc, argv);
    site = new test_support::ChildProcess(
        {"python3", std::string(HARVEST_SOURCE_DIR) + "/tools/record_site.py", "--port", "0",
         "--plain-reference"});
    const std::string line = site->read_line();
    ASSERT_EQ(line.rfind("listening on ", 0), 0u) << line;
    address = Text::from_bytes(line.substr(std::strlen("listening on ")));
  }
  static void TearDownTestSuite() {
    delete site;
    ui::shutdown();
  }
  void SetUp() override {
    ASSERT_FALSE(std::filesystem::exists(ui::program_directory() + "/data.db"));
    set_record_site(address);
    construct_globals();
    ui::register_end_routine(destroy_globals);
  }
  // Runs the program's window until something closes it; `then` runs once the window is up
  // (the creation handler lets queued events through, so nothing may be queued before it).
  static void run_window(const std::function<void()>& then) {
    ui::load_main_window({.created = main_window_created, .start_clicked = start_button_clicked});
    then();
    ui::run_message_loop();
  }
  // The list view's column titles and widths once the window is up; then the window closes.
  static std::pair<std::vector<Text>, std::vector<int>> columns_after_creation() {
    std::vector<Text> titles;
    std::vector<int> widths;
    run_window([&] {
      ui::run_soon([&] {
        for (int i = 0; i < ui::column_count(); ++i) {
          titles.push_back(ui::column_title(i));
          widths.push_back(ui::column_width(i));
        }
        ui::close_main_window();
      });
    });
    return {titles, widths};
  }
  static inline test_support::ChildProcess* site = nullptr;
  static inline Text address;
};

TEST_F(HarvestTest, ColumnsAreTitledColumnByColumnFromTheReferencePage) {
  const auto [titles, widths] = columns_after_creation();
  ASSERT_EQ(titles.size(), 25u);
  EXPECT_EQ(titles[0], gbk(u8"名称"));
  const int order[] = {1,  4,  7,  10, 13, 16, 19, 22, 2,  5,  8,  11,
                       14, 17, 20, 23, 3,  6,  9,  12, 15, 18, 21, 24};
  for (int k = 0; k < 24; ++k) {
    const Text cell = Text::number(order[k]);
    EXPECT_EQ(titles[k + 1], Text("N") + cell + "U" + cell) << "column " << k + 1;
    EXPECT_EQ(widths[k + 1], 200);
  }
  EXPECT_FALSE(std::filesystem::exists(ui::program_directory() + "/data.db"))
      << "the database is never created";
  EXPECT_EQ(task_pool, nullptr) << "closing the window destroyed the globals";
  EXPECT_EQ(food_db, nullptr);
  EXPECT_EQ(log_lock, nullptr);
}

TEST_F(HarvestTest, WithoutASiteTheColumnsStayUntitled) {
  set_record_site("https://127.0.0.1:1");
  const auto [titles, widths] = columns_after_creation();
  ASSERT_EQ(titles.size(), 25u);
  EXPECT_EQ(titles[0], gbk(u8"名称"));
  for (int k = 1; k <= 24; ++k) {
    EXPECT_EQ(titles[k], Text()) << k;
    EXPECT_EQ(widths[k], 200) << k;
  }
}

TEST_F(HarvestTest, ProgressLogFromTenThreadsKeepsEveryLineWhole) {
  Text box;
  run_window([&] {
    ui::run_soon([&] {
      std::vector<std::thread> threads;
      for (int t = 0; t < 10; ++t)
        threads.emplace_back([t] {
          for (int i = 0; i < 100; ++i)
            progress_log(Text::number(t) + gbk(u8" 第") + Text::number(i) + gbk(u8"行"));
        });
      // The GUI thread keeps serving the workers' appends while they run.
      std::atomic<bool> joined{false};
      std::thread joiner([&] {
        for (auto& thread : threads) thread.join();
        joined = true;
      });
      while (!joined) ui::delay_with_events(5);
      joiner.join();
      progress_log("");
      box = ui::log_text();
      ui::close_main_window();
    });
  });
  ASSERT_TRUE(box.ends_with("\r\n\r\n")) << "a line of 0 bytes appends just a line break";
  const std::vector<Text> lines = box.drop_last(4).split("\r\n");
  ASSERT_EQ(lines.size(), 1000u);
  std::set<std::string> distinct;
  for (const Text& line : lines) distinct.insert(line.bytes());
  EXPECT_EQ(distinct.size(), 1000u) << "no line split, merged or lost";
}

TEST_F(HarvestTest, APoolThatRefusesEverySubmissionLeavesTheWindowResponsive) {
  platform::testing::fail_thread_starts(5);  // the pool cannot start: every submission refused
  int served = 0;
  run_window([&] {
    ui::run_soon([] { ui::click_button(1); });
    ui::run_soon([&] { ++served; }, 100);
    ui::run_soon([&] { ++served; }, 200);
    ui::run_soon(ui::close_main_window, 400);
  });
  platform::testing::fail_thread_starts(0);
  EXPECT_EQ(served, 2) << "events were handled during the crawl loop";
  EXPECT_EQ(next_id.load(), 0);
}

// Downloads per page id so far, from the site's own counts ({"17": 1, ...}).
std::map<int, int> site_counts(const Text& address) {
  const std::string json = http::web_request(address + "/_stats").bytes();
  std::map<int, int> counts;
  for (std::size_t at = 0; (at = json.find('"', at)) != std::string::npos;) {
    const std::size_t end = json.find('"', at + 1);
    const std::string key = json.substr(at + 1, end - at - 1);
    const int value = std::atoi(json.c_str() + json.find(':', end) + 1);
    if (key.find('+') == std::string::npos) counts[std::atoi(key.c_str())] = value;
    at = end + 1;
  }
  return counts;
}

TEST_F(HarvestTest, ASecondClickNeitherDoublesTheRateNorRepeatsAnId) {
  const std::map<int, int> before = site_counts(address);
  std::chrono::steady_clock::time_point started, dispatched;
  run_window([&] {
    ui::run_soon([&] {
      started = std::chrono::steady_clock::now();
      ui::click_button(1);
      dispatched = std::chrono::steady_clock::now();
      while (!task_pool->is_idle()) ui::delay_with_events(20);
      ui::close_main_window();
    });
    ui::run_soon([] { ui::click_button(1); }, 300);  // lands inside the first click's loop
  });
  http::allow_requests();  // the end of the run abandoned requests; the test still asks
  const std::map<int, int> after = site_counts(address);
  for (int id = 1; id < REFERENCE_PAGE_ID; ++id) {
    const auto was = before.count(id) ? before.at(id) : 0;
    ASSERT_EQ(after.count(id) ? after.at(id) - was : 0, 1) << "id " << id;
  }
  for (const auto& [id, count] : after) {
    if (id > LAST_PAGE_ID) {
      EXPECT_LE(count, 1) << id;
    }
  }
  const double seconds = std::chrono::duration<double>(dispatched - started).count();
  EXPECT_GT(seconds, 0.9 * LAST_PAGE_ID * 10 / 1000.0) << "one submission per 10 ms pass at most";
}

}  // namespace
}  // namespace app
