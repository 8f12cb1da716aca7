#include "app/globals.h"
#include "app/harvest.h"
#include "app/patterns.h"
#include "core/codepage.h"
#include "http/web_request.h"
#include "regex/regex_object.h"
#include "ui/toolkit.h"

namespace app {

namespace {

constexpr int RETRY_LIMIT = 10;
constexpr int RETRY_WAIT_MS = 500;

struct Lines {
  Text retrying = core::gbk(u8" 正在尝试");
  Text attempt = core::gbk(u8"次抓取");
  Text deleted = core::gbk(u8" 没有记录，无法抓取");
  Text no_name = core::gbk(u8" 没有菜品名，入库失败");
  Text stored = core::gbk(u8" 入库成功！");
};
const Lines& lines() {
  static const Lines all;
  return all;
}

// A value as an SQL text literal. Quotes are doubled, so whatever the page holds stays one value
// of one statement.
Text quoted(const Text& value) {
  return Text("'") + value.replaced("'", "''") + "'";
}

void run_page_task() {
  regex::RegexObject regex;  // 1
  {
    concurrency::LockGuard hold(*active_lock);  // 2
    active_tasks.fetch_add(1);
  }
  std::int32_t id;
  {
    concurrency::LockGuard hold(*id_lock);  // 3
    id = next_id.fetch_add(1) + 1;
  }
  const Text id_text = Text::number(id);
  const Text url = page_url(id);  // 4

  Text page = http::web_request(url);               // 5
  for (int attempt = 1; page.empty(); ++attempt) {  // 6
    progress_log(id_text + lines().retrying + Text::number(attempt + 1) + lines().attempt);
    if (attempt > RETRY_LIMIT) break;
    ui::delay_with_events(RETRY_WAIT_MS);
    page = http::web_request(url);
  }

  if (page.contains(patterns::deleted_marker())) {  // 7
    progress_log(id_text + lines().deleted);
  } else {
    regex.execute(patterns::nutrient_value(), page);  // 8
    Text values;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 8; ++j)
        values += quoted(regex.submatch_text(patterns::cell_of(i, j), 1)) + ",";

    regex.execute(patterns::food_name(), page);  // 9
    if (regex.match_count() < 1) {
      progress_log(id_text + lines().no_name);
    } else {
      const Text name = regex.submatch_text(1, 1);
      values = quoted(name) + "," + values;  // 10
      values = values.drop_last(1);
      const Text statement = Text("INSERT INTO food VALUES (") + values + ");";
      Text error;
      bool ok;
      {
        concurrency::LockGuard hold(*db_lock);
        ok = food_db->exec(statement, &error);
      }
      if (ok) progress_log(id_text + lines().stored);
    }
  }

  concurrency::LockGuard hold(*active_lock);  // 11
  active_tasks.fetch_sub(1);
}  // 12: the RegexObject goes, balancing the thread's apartment

}  // namespace

void page_task(std::int32_t, std::int32_t) {
  if (!task_starting()) return;
  run_page_task();
  task_finished();
}

}  // namespace app
