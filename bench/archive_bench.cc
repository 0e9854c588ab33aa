// QuellorArchive on an archive the writer filed: verify and reindex of
// 10,000 reports, and search against grep -rF over the same .xml files (the
// floor). The archive goes to $QUELLOR_BENCH_FOLDER, else the system's
// temporary folder.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "archive/reindex.h"
#include "archive/search.h"
#include "archive/verify.h"
#include "bench_support.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"

namespace {

constexpr int kReports = 10000;
constexpr size_t kReportBytes = 10 * 1024;

// The texts searched: one on no line, one on every line of the reports
// with markup (each hit decoded), and one as a regular expression.
const char* const kTexts[] = {"FIC-9901", "TIC-1013 <HI>", "FIC-99[0-9]+"};

// 10,000 reports of 10 KiB an hour apart (15 months), half of them with
// "&", "<" and ">" on every line; filed once per run.
struct Archive {
  Archive() {
    InitMonthNames();
    SteppingClock clock(3600);
    const std::string plain = Journal(kReportBytes, false), markup = Journal(kReportBytes, true);
    for (int i = 0; i < kReports; ++i) {
      WriteReport(folder.path().string(), "ProcessAlarmJournal", i % 2 ? markup : plain, clock);
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
      if (entry.path().extension() == ".xml" && entry.path().filename() != "dir.xml") {
        xml_bytes += static_cast<int64_t>(entry.file_size());
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

void BM_Search(benchmark::State& state) {
  const Archive& archive = TheArchive();
  SearchQuery query;
  query.text = kTexts[state.range(0)];
  query.regex = state.range(0) == 2;
  size_t hits = 0;
  std::string note, error;
  for (auto _ : state) {
    SearchReports(
        archive.folder.path().string(), query,
        [&](const ReportHits& report) {
          hits += report.lines.size();
          return true;
        },
        &note, &error);
  }
  state.SetBytesProcessed(state.iterations() * archive.xml_bytes);
  state.counters["hits"] = static_cast<double>(hits / state.iterations());
}

// The same files through grep, its lines counted (output to /dev/null would
// let grep stop at a file's first match). A literal text is given to grep in
// its escaped form, as it stands in the files, so that both find as much.
void BM_GrepFloor(benchmark::State& state) {
  const Archive& archive = TheArchive();
  const std::string command =
      std::string("grep -r") + (state.range(0) == 2 ? "E" : "F") + " --include='*.xml' -e '" +
      (state.range(0) == 2 ? kTexts[2] : EscapeXml(kTexts[state.range(0)])) + "' " +
      archive.folder.path().string() + " | wc -l >/dev/null";
  for (auto _ : state) benchmark::DoNotOptimize(std::system(command.c_str()));
  state.SetBytesProcessed(state.iterations() * archive.xml_bytes);
}

void BM_Verify(benchmark::State& state) {
  const Archive& archive = TheArchive();
  for (auto _ : state) {
    std::ostringstream out;
    size_t problems = 0;
    std::string error;
    benchmark::DoNotOptimize(VerifyArchive(archive.folder.path().string(), out, &problems, &error));
  }
}

void BM_Reindex(benchmark::State& state) {
  const Archive& archive = TheArchive();
  const fs::path month = archive.folder.path() / "2005" / "Jan";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(month / "dir.xml");
    state.ResumeTiming();
    std::ostringstream out;
    std::string error;
    ReindexMonth(month.string(), out, &error);
  }
}

}  // namespace

BENCHMARK(BM_Search)->ArgName("text")->DenseRange(0, 2)->UseRealTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_GrepFloor)
    ->ArgName("text")
    ->DenseRange(0, 2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Verify)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reindex)->UseRealTime()->Unit(benchmark::kMillisecond);
