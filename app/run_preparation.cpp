#include <string>

#include "app/globals.h"
#include "app/harvest.h"
#include "app/patterns.h"
#include "http/web_request.h"
#include "regex/regex_object.h"
#include "ui/toolkit.h"

namespace app {

namespace {
// Someone viewing data.db while the harvest runs holds its lock for a moment: a store waits this
// long for it rather than losing the row.
constexpr std::int32_t kBusyTimeoutMs = 5000;
}  // namespace

void main_window_created() {
  const Text database = Text::from_bytes(ui::program_directory() + "/data.db");
  if (food_db->open(database, true, false)) food_db->set_busy_timeout(kBusyTimeoutMs);

  task_pool->create(10, false, 10);

  regex::RegexObject regex;
  const Text page = http::web_request(page_url(REFERENCE_PAGE_ID));
  regex.execute(patterns::nutrient_name(), page);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 8; ++j)
      ui::insert_column(regex.submatch_text(patterns::cell_of(i, j), 1), NUTRIENT_COLUMN_WIDTH);
  regex.execute(patterns::nutrient_value(), page);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 8; ++j) {
      const int column = (i - 1) * 8 + j;
      const Text title = ui::column_title(column);
      ui::set_column_title(column, title + regex.submatch_text(patterns::cell_of(i, j), 2));
    }
  }
}

}  // namespace app
