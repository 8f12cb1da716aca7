// Extracting a record page's name and 24 amounts with RegexObject, as the page task does: two
// execute calls and 25 group reads on a realistic GBK page (compare bench/regex_extract.py).
#include <benchmark/benchmark.h>

#include <string>

#include "core/codepage.h"
#include "regex/regex_object.h"
#include "tests/support/record_pages.h"

namespace {

void BM_ExtractRecordPage(benchmark::State& state) {
  const core::Text page = core::Text::from_bytes(test_support::record_page(17));
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
