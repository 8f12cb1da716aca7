#include "app/globals.h"
#include "app/harvest.h"
#include "ui/toolkit.h"

namespace app {

namespace {
constexpr int DISPATCH_WAIT_MS = 10;
}

void start_button_clicked() {
  // Closing the window must end the crawl too: the loop would otherwise keep the GUI thread
  // from ever reaching the end of the message loop.
  while (next_id.load() < LAST_PAGE_ID && !ui::main_window_closed()) {
    if (active_tasks.load() < MAX_ACTIVE_TASKS) task_pool->submit(page_task);
    ui::delay_with_events(DISPATCH_WAIT_MS);
    ui::process_pending_events();
  }
}

}  // namespace app
