#pragma once

#include <optional>
#include <string>

namespace app {

// The command line of the program. Options of the window system itself (such as
// "-platform offscreen") are left for it.
struct Options {
  std::string site;             // --site URL: scheme, host and optional port
  bool start = false;           // --start: click the start button once the window is up
  bool quit_when_done = false;  // --quit-when-done: close the window when the crawl has ended
  int close_after_ms = -1;      // --close-after MS: close the window after MS milliseconds
  bool help = false;
  bool version = false;
};

// nullopt with `error` set when the command line is not understood.
std::optional<Options> parse_options(int argc, char** argv, std::string& error);
std::string usage(const char* program);

}  // namespace app
