// The full-text index on a synthetic archive of 100,000 reports (about 42
// month folders, 5 KiB of print-out each, written straight as the writer's
// .xml documents): the build from nothing, its size, an update that finds
// nothing new, and searches through it. The archive goes to
// $QUELLOR_BENCH_FOLDER, else the system's temporary folder.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/folder_source.h"
#include "archive/search.h"
#include "archive/text_index.h"
#include "bench_support.h"
#include "output/report_path.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

constexpr int kReports = 100000;
constexpr int kLinesPerReport = 64;

const char* const kJournals[] = {"ProcessAlarmJournal", "SystemErrorJournal",
                                 "SystemMaintenanceJournal", "OperatorMessageJournal",
                                 "OperatorProcessChangeJournal"};

// The searches: a tag on one report, a text on none, a text on every line
// (the first page of 50 reports, as the web view asks), an expression on ten
// reports.
const struct {
  const char* text;
  bool regex;
  bool first_page;
} kSearches[] = {{"FIC-054321", false, false},
                 {"FIC-9901X", false, false},
                 {"ALARM", false, true},
                 {"FIC-05432[0-9] +FLOW", true, false}};

// Report n's .xml document as the writer writes it: alarm lines whose tags
// vary with n, and one line with the tag FIC-n (six digits).
std::string Document(int n) {
  std::string xml = "<?xml version=\"1.0\"?>\r\n<Report><Line>\r\n";
  char line[96];
  for (int i = 0; i < kLinesPerReport; ++i) {
    if (i == kLinesPerReport / 2) {
      std::snprintf(line, sizeof line, "24-01-05 19:50:%02d  FIC-%06d  FLOW HIGH  PV=%d.%d", i % 60,
                    n, n % 97, i);
    } else {
      std::snprintf(
          line, sizeof line,
          "24-01-05 19:%02d:%02d  TIC-%04d  HI  ALARM  PV=%d.%d degC   SP=120.0  ACK  OP%02d",
          i % 60, (n + i) % 60, (n * 7 + i * 13) % 10000, (n + i) % 500, i % 10, i % 32);
    }
    xml += line;
    xml += "</Line>\r\n<Line>";
  }
  return xml + "</Line>\r\n</Report>\r\n";
}

// The archive, its month folders aged by an hour (as folders are that the
// service wrote in earlier), filed once per run.
struct Archive {
  Archive() {
    InitMonthNames();
    SteppingClock clock(1014);
    for (int n = 0; n < kReports; ++n) {
      const LocalTime t = clock.Now();
      const fs::path month = MonthFolderPath(folder.path().string(), t);
      if (!fs::exists(month)) fs::create_directories(month);
      const std::string name = NewReportPath(kJournals[n % 5], t, 1, TextEncoding::kLocal).Xml();
      const std::string document = Document(n);
      std::string ignored;
      WriteFileReplacing((month / name).string(), document, &ignored);
      xml_bytes += static_cast<int64_t>(document.size());
    }
    const auto hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& year : fs::directory_iterator(folder.path())) {
      for (const auto& month : fs::directory_iterator(year.path())) {
        fs::last_write_time(month.path(), hour_ago);
      }
    }
  }
  BenchFolder folder;
  int64_t xml_bytes = 0;
};

const Archive& TheArchive() {
  static const Archive archive;
  return archive;
}

std::string IndexPath(const Archive& archive) {
  return (archive.folder.path() / kTextIndexFileName).string();
}

void BM_IndexBuild(benchmark::State& state) {
  const Archive& archive = TheArchive();
  const std::atomic<bool> go_on = false;
  uint64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(IndexPath(archive) + suffix);
    state.ResumeTiming();
    std::string error;
    if (!UpdateTextIndex(archive.folder.path().string(), go_on, &bytes, &error)) {
      state.SkipWithError(error.c_str());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  uintmax_t size = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code none;
    const uintmax_t part = fs::file_size(IndexPath(archive) + suffix, none);
    size += none ? 0 : part;
  }
  state.counters["index_MiB"] = static_cast<double>(size) / (1 << 20);
  state.counters["xml_MiB"] = static_cast<double>(archive.xml_bytes) / (1 << 20);
}

// What serve does every few seconds when nothing was filed.
void BM_IndexUpdateUnchanged(benchmark::State& state) {
  const Archive& archive = TheArchive();
  const std::atomic<bool> go_on = false;
  std::string error;
  for (auto _ : state) UpdateTextIndex(archive.folder.path().string(), go_on, nullptr, &error);
}

void BM_IndexedSearch(benchmark::State& state) {
  const Archive& archive = TheArchive();
  const auto& search = kSearches[state.range(0)];
  SearchQuery query;
  query.text = search.text;
  query.regex = search.regex;
  size_t reports = 0;
  std::string note, error;
  for (auto _ : state) {
    reports = 0;
    SearchReports(
        archive.folder.path().string(), query,
        [&](const ReportHits&) { return !search.first_page || ++reports <= 50; }, &note, &error);
  }
  if (!note.empty()) state.SkipWithError(note.c_str());
}

}  // namespace

BENCHMARK(BM_IndexBuild)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_IndexUpdateUnchanged)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexedSearch)
    ->ArgName("search")
    ->DenseRange(0, 3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
