#pragma once

#include <string>

#include "tests/support/temp_dir.h"

// Pages of the bundled record site, made by its own generator so tests read what it serves.
namespace test_support {

inline std::string source_dir() {
  return HARVEST_SOURCE_DIR;
}

// The GBK bytes of record page `id`; `faults` are the site's fault options (e.g. "--utf8 5").
inline std::string record_page(int id, const std::string& faults = "") {
  return command_output("python3 " + source_dir() + "/tools/record_site.py --print-page " +
                        std::to_string(id) + " " + faults);
}

}  // namespace test_support
