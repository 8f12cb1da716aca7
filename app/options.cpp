#include "app/options.h"

#include <cstdlib>
#include <cstring>

namespace app {

std::optional<Options> parse_options(int argc, char** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) continue;  // the window system's own options
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--start") {
      options.start = true;
    } else if (arg == "--quit-when-done") {
      options.quit_when_done = true;
    } else if (arg == "--close-after") {
      char* end = nullptr;
      const long ms = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
      if (i + 1 >= argc || *end != '\0' || ms < 0 || ms > 86400000) {
        error = "option --close-after needs a number of milliseconds";
        return std::nullopt;
      }
      options.close_after_ms = static_cast<int>(ms);
      ++i;
    } else if (arg == "--site" || arg.rfind("--site=", 0) == 0) {
      if (arg == "--site") {
        if (i + 1 >= argc) {
          error = "option --site needs a URL";
          return std::nullopt;
        }
        options.site = argv[++i];
      } else {
        options.site = arg.substr(std::strlen("--site="));
      }
      while (!options.site.empty() && options.site.back() == '/') options.site.pop_back();
      if (options.site.rfind("https://", 0) != 0 && options.site.rfind("http://", 0) != 0) {
        error = "option --site needs an http or https URL, not '" + options.site + "'";
        return std::nullopt;
      }
    } else {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    }
  }
  return options;
}

std::string usage(const char* program) {
  return std::string("Usage: ") + program +
         " [--site URL] [--start] [--quit-when-done] [--close-after MS] [Qt options]\n"
         "Harvests the food records of the record site into data.db beside the program.\n\n"
         "  --site URL         the record site: scheme, host and optional port\n"
         "                     (default https://127.0.0.1:8443, the bundled local site)\n"
         "  --start            click the start button once the window is up\n"
         "  --quit-when-done   close the window once every page has been handled\n"
         "  --close-after MS   close the window after MS milliseconds, as a user would\n"
         "  --help             show this help and exit\n"
         "  --version          show the version and exit\n"
         "  -platform offscreen  run without a display\n\n"
         "Every log line is also written to standard output.\n";
}

}  // namespace app
