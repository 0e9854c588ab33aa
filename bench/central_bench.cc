// The central database: publish's rate into a PostgreSQL server of the
// benchmark's own, and search across 3 plants of 100,000 reports each. The
// reports are filed into $QUELLOR_BENCH_FOLDER (else the system's temporary
// folder); the server's folder is a temporary one.

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "archive/central/central_schema.h"
#include "archive/central/central_search.h"
#include "archive/central/db_connection.h"
#include "archive/central/publisher.h"
#include "bench_support.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "support/private_postgres.h"

namespace {

constexpr int kFiled = 10000;  // reports filed and published
constexpr int kCopies = 10;    // each plant holds kCopies x kFiled
constexpr int kPlants = 3;
constexpr size_t kReportBytes = 2048;   // about 25 printed lines
constexpr char kRare[] = "FIC-4711";    // in 1 of 5,000 filed reports
constexpr char kCommon[] = "TIC-1013";  // on every line

// A journal whose tag numbers change from report to report, so that the
// trigram index sees more than one text; every 5,000th holds kRare.
std::string NumberedJournal(int i) {
  std::string text = Journal(kReportBytes, false);
  const std::string tag = "PIC-" + std::to_string(1000 + i % 997);
  for (size_t at = text.find("SP="); at != std::string::npos; at = text.find("SP=", at + 1)) {
    text.replace(at, 3, tag.substr(0, 3));
  }
  if (i % 5000 == 17) text += std::string("  ") + kRare + "  FLOW HIGH\r\n";
  return text;
}

// The server, the filed reports, and the plants made from them.
struct Central {
  Central() {
    InitMonthNames();
    SteppingClock clock(3600);
    for (int i = 0; i < kFiled; ++i) {
      WriteReport(folder.path().string(), "ProcessAlarmJournal", NumberedJournal(i), clock);
    }
  }

  // Fills the plants once: publish's reports of "bench", copied within the
  // server under other names (and years), with the trigram index made
  // after, as a restore would.
  void FillPlants(DbConnection& db) {
    if (filled) return;
    filled = true;
    db.ExecScript(
        "SET maintenance_work_mem = '256MB'; DROP INDEX reports_lines_trigrams; "
        "DELETE FROM reports WHERE plant <> 'bench'");
    db.ExecScript(
        "INSERT INTO reports SELECT 'plant' || p.number, (split_part(month, '/', 1)::int + "
        "c.copy * 3)::text || '/' || split_part(month, '/', 2), file, journal, "
        "filed + make_interval(years => c.copy * 3), lines, htm, stamp FROM reports, "
        "generate_series(0, " +
        std::to_string(kCopies - 1) + ") c(copy), generate_series(1, " + std::to_string(kPlants) +
        ") p(number) WHERE reports.plant = 'bench'");
    db.ExecScript(
        "DELETE FROM reports WHERE plant = 'bench'; "
        "CREATE INDEX reports_lines_trigrams ON reports USING gin (lines gin_trgm_ops)");
    db.ExecScript("VACUUM ANALYZE reports");
  }

  BenchFolder folder;
  PrivatePostgres postgres;
  bool filled = false;
};

Central& TheCentral() {
  static Central central;
  return central;
}

void BM_Publish(benchmark::State& state) {
  Central& central = TheCentral();
  static int run = 0;  // each run into a plant of its own: all reports are new
  size_t sent = 0;
  for (auto _ : state) {
    std::ostringstream log;
    Publisher publisher({central.folder.path().string(), central.postgres.conninfo(),
                         run++ == 0 ? "bench" : "bench" + std::to_string(run), false},
                        log);
    if (publisher.Run() != 0) state.SkipWithError(log.str().c_str());
    sent += publisher.sent();
  }
  state.SetItemsProcessed(static_cast<int64_t>(sent));
}
BENCHMARK(BM_Publish)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// range(0): 0 = kRare (literal), 1 = kCommon (literal, the first 1,000
// hits), 2 = "FIC-47[0-9]+" (RE2).
void BM_CentralSearch(benchmark::State& state) {
  Central& central = TheCentral();
  DbConnection db(central.postgres.conninfo());
  if (SchemaVersion(db) == 0) return state.SkipWithError("run BM_Publish first");
  central.FillPlants(db);
  SearchQuery query;
  query.text = state.range(0) == 0 ? kRare : state.range(0) == 1 ? kCommon : "FIC-47[0-9]+";
  query.regex = state.range(0) == 2;
  size_t hits = 0;
  std::string error;
  for (auto _ : state) {
    hits = 0;
    SearchCentral(
        db, query, "",
        [&](const ReportHits& report) {
          hits += report.lines.size();
          return hits < 1000;
        },
        &error);
  }
  state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_CentralSearch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
