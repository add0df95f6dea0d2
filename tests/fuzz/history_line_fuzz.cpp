// Feeds arbitrary bytes to the history's line parser, line by line as the range reader cuts them.
// Beyond not crashing: a line the parser takes is a record whose own line reads back as the same
// record, so what the chart shows of a hand-edited file is what the program would have written.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/minute_record.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  while (!bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    const std::string_view line = bytes.substr(0, newline == std::string_view::npos ? bytes.size() : newline + 1);
    bytes.remove_prefix(line.size());
    const auto record = qx::ParseMinuteLine(line);
    if (!record) continue;
    const std::string written = qx::FormatMinuteLine(*record);
    Check(written.size() <= qx::kMaxHistoryLineBytes);
    const auto again = qx::ParseMinuteLine(written);
    Check(again && *again == *record);
    Check(qx::FormatMinuteLine(*again) == written);
  }
  return 0;
}
