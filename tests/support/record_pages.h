#pragma once

#include <cstdio>
#include <string>

// Pages of the bundled record site, made by its own generator so tests read what it serves.
namespace test_support {

inline std::string source_dir() { return HARVEST_SOURCE_DIR; }

// The GBK bytes of record page `id`; `faults` are the site's fault options (e.g. "--utf8 5").
inline std::string record_page(int id, const std::string& faults = "") {
  const std::string command = "python3 " + source_dir() + "/tools/record_site.py --print-page " +
                              std::to_string(id) + " " + faults;
  std::string bytes;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
    pclose(pipe);
  }
  return bytes;
}

}  // namespace test_support
