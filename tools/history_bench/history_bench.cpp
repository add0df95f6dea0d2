// What the history costs on disk and to read back: writes a 31-day month of records through the
// program's own writer into a fresh folder, once with readings every minute and once with none,
// prints each file's size, then times the range reader over 30 days of it. Not a test: it prints
// figures and judges nothing.
//
//   history_bench [FOLDER]      (FOLDER defaults to "history-bench" in the working folder)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "history/history_writer.h"
#include "history/minute_accumulator.h"

namespace {

std::uintmax_t WriteMonth(const std::string& folder, bool readings) {
  std::filesystem::remove_all(folder);
  qx::HistoryWriter writer(folder);
  const qx::DateValue first = qx::MakeDateValue({2026, 12, 1, 0, 0, 0});
  unsigned seed = 1;
  for (int m = 0; m < 31 * 24 * 60; ++m) {
    qx::MinuteAccumulator minute;
    (void)minute.Advance({first + m * 60, 180, 0}, {});
    // About what the sensor gives in a minute: 590 readings of 23.75 .. 26.19 degrees.
    for (int i = 0; readings && i < 590; ++i) {
      seed = seed * 1103515245u + 12345u;
      minute.AddReading(static_cast<std::int16_t>(380 + (seed >> 16) % 40));
    }
    qx::MinuteEndState end;
    end.outlets = {(m / 37) % 2 == 0, (m / 300) % 2 == 1, false, true};
    end.device = readings;
    writer.Append(*minute.Finish(end));
  }
  writer.Stop();
  writer.Run();
  return std::filesystem::file_size(std::filesystem::path(folder) / "2026-12.csv");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string base = argc > 1 ? argv[1] : "history-bench";
  std::filesystem::create_directories(base);
  const std::string with = (std::filesystem::path(base) / "readings").string();
  const std::string without = (std::filesystem::path(base) / "silent").string();
  std::printf("month of 44640 minutes with readings: %ju bytes\n", WriteMonth(with, true));
  std::printf("month of 44640 minutes without any: %ju bytes\n", WriteMonth(without, false));
  for (int run = 1; run <= 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const auto records = qx::ReadHistoryRange(with, qx::MakeDateValue({2026, 12, 1, 0, 0, 0}),
                                              qx::MakeDateValue({2026, 12, 30, 23, 59, 0}));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("read 30 days: %zu records in %.1f ms\n", records.size(), ms);
  }
  return 0;
}
