// WriteReport against the physical floor (the same bytes written twice with
// plain fwrite), and UpdateReportIndex against the size of the index.
// The files go to $QUELLOR_BENCH_FOLDER, else the system's temporary folder.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "output/report_writer.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/clock.h"

namespace {

void WriteBytesWithFwrite(const fs::path& path, const std::string& data) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  std::fwrite(data.data(), 1, data.size(), file);
  std::fclose(file);
}

void BM_WriteReport(benchmark::State& state) {
  InitMonthNames();
  BenchFolder folder;
  const std::string text = Journal(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  SteppingClock clock;
  for (auto _ : state) {
    WriteReport(folder.path().string(), "ProcessAlarmJournal", text, clock);
    state.PauseTiming();
    fs::remove_all(folder.path() / "2005");
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_FwriteTwiceFloor(benchmark::State& state) {
  BenchFolder folder;
  const std::string text = Journal(static_cast<size_t>(state.range(0)), false);
  for (auto _ : state) {
    WriteBytesWithFwrite(folder.path() / "report.htm", text);
    WriteBytesWithFwrite(folder.path() / "report.xml", text);
    state.PauseTiming();
    fs::remove(folder.path() / "report.htm");
    fs::remove(folder.path() / "report.xml");
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// An index as the writer leaves it after `entries` reports of one month.
std::string IndexWith(int entries) {
  std::string index =
      "<?xml version=\"1.0\"?>\r\n<Reports>\r\n<Report>\r\n<Name>ProcessAlarmJournal</Name>\r\n"
      "<Timestamp>01 Jan 2005  00:00:00</Timestamp>\r\n"
      "<File>ProcessAlarmJournal_01Jan05_000000.xml</File>\r\n</Report>\r\n";
  for (int i = 1; i < entries; ++i) {
    index +=
        "<Report>\r\n\t<Name>ProcessAlarmJournal</Name>\r\n\t"
        "<Timestamp>01 Jan 2005  00:00:00</Timestamp>\r\n\t"
        "<File>ProcessAlarmJournal_01Jan05_000000_" +
        std::to_string(i + 1) + ".xml</File>\r\n</Report>";
  }
  return index + "</Reports>\r\n";
}

void UpdateIndex(const fs::path& index_path) {
  UpdateReportIndex(index_path.string(), "SystemErrorJournal", "24 Jan 2005  19:50:34",
                    "SystemErrorJournal_24Jan05_195034.xml");
}

// found:1: the index was written by someone else (or by an earlier run) and
// is checked in full; found:0: the writer finds the index it saved last (the
// running service's case) and spares the check.
void BM_UpdateReportIndex(benchmark::State& state) {
  BenchFolder folder;
  const fs::path index_path = folder.path() / "dir.xml";
  const std::string index = IndexWith(static_cast<int>(state.range(0)));
  const bool found = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    WriteBytesWithFwrite(index_path, index);
    if (!found) UpdateIndex(index_path);
    state.ResumeTiming();
    UpdateIndex(index_path);
  }
}

}  // namespace

BENCHMARK(BM_WriteReport)
    ->ArgNames({"bytes", "markup"})
    ->ArgsProduct({{64 << 10, 1 << 20, 16 << 20}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FwriteTwiceFloor)
    ->ArgName("bytes")
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateReportIndex)
    ->ArgNames({"entries", "found"})
    ->ArgsProduct({{10, 1000, 10000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
