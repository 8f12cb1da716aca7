// Extracting a record page's name and 24 amounts with RegexObject, as the page task does: two
// execute calls and 25 group reads on a realistic GBK page (compare bench/regex_extract.py).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/codepage.h"
#include "regex/regex_object.h"

namespace {

std::string page_bytes() {
  std::string bytes;
  const std::string command =
      std::string("python3 ") + HARVEST_SOURCE_DIR + "/tools/record_site.py --print-page 17";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
    pclose(pipe);
  }
  return bytes;
}

void BM_ExtractRecordPage(benchmark::State& state) {
  const core::Text page = core::Text::from_bytes(page_bytes());
  const core::Text values = "<td width=\"16%\">(\\d+)<span class=\"bgray\">(.*?)</span></td>";
  const core::Text name = core::gbk(u8"botitle18\">(.*?)的营养价值");
  regex::RegexObject regex;
  std::size_t bytes = 0;
  for (auto _ : state) {
    regex.execute(values, page);
    for (int cell = 1; cell <= 24; ++cell) bytes += regex.submatch_text(cell, 1).length();
    regex.execute(name, page);
    bytes += regex.submatch_text(1, 1).length();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetLabel(std::to_string(page.length()) + " byte page");
}
BENCHMARK(BM_ExtractRecordPage)->Unit(benchmark::kMicrosecond);

}  // namespace
