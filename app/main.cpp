#include <cstdio>
#include <string>

#include "app/globals.h"
#include "app/harvest.h"
#include "app/options.h"
#include "ui/toolkit.h"

namespace app {
namespace {

// Closes the window once dispatching has ended and the pool has nothing queued or running.
void close_when_done() {
  while (!ui::main_window_closed() && !(next_id.load() >= LAST_PAGE_ID && task_pool->is_idle()))
    ui::delay_with_events(50);
  ui::close_main_window();
}

int start_up(int argc, char** argv) {
  std::string error;
  const auto options = parse_options(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", argv[0], error.c_str(), argv[0]);
    return 2;
  }
  if (options->help) {
    std::fputs(usage(argv[0]).c_str(), stdout);
    return 0;
  }
  if (options->version) {
    std::puts("harvester " HARVEST_VERSION);
    return 0;
  }
  if (!options->site.empty()) set_record_site(Text::from_bytes(options->site));

  ui::initialize(argc, argv);
  construct_globals();
  ui::register_end_routine(destroy_globals);
  ui::load_main_window({.created = main_window_created, .start_clicked = start_button_clicked});
  if (options->start) {
    const bool quit = options->quit_when_done;
    ui::run_soon([quit] {
      ui::click_button(1);
      if (quit) close_when_done();
    });
  } else if (options->quit_when_done) {
    ui::run_soon(close_when_done);
  }
  if (options->close_after_ms >= 0) ui::run_soon(ui::close_main_window, options->close_after_ms);
  const int code = ui::run_message_loop();
  ui::shutdown();
  return code;
}

}  // namespace
}  // namespace app

int main(int argc, char** argv) {
  return app::start_up(argc, argv);
}
