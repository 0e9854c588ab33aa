#include "archive/central/publisher.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>

#include "archive/central/central_schema.h"
#include "archive/central/central_text.h"
#include "archive/search.h"
#include "output/report_index.h"
#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {

// Reports per transaction: large enough that the commit's flush is shared,
// small enough that a crash repeats little.
constexpr size_t kBatch = 100;
// How often --follow looks for new reports.
constexpr auto kPollInterval = std::chrono::seconds(2);
// A month folder changed this recently may still change within the time
// stamp's granularity: it is listed again at the next pass.
constexpr auto kSettleTime = std::chrono::seconds(2);
// Back-off after a failure: doubled each time up to the last; without
// --follow, publish gives up after waiting the last.
constexpr int kBackoffSeconds[] = {1, 2, 4, 8, 16, 32, 60};

constexpr char kUpsert[] = R"sql(
INSERT INTO reports (plant, month, file, journal, filed, lines, htm, stamp)
VALUES ($1, $2, $3, $4, $5, $6, $7, $8)
ON CONFLICT (plant, month, file) DO UPDATE
SET journal = excluded.journal, filed = excluded.filed, lines = excluded.lines,
    htm = excluded.htm, stamp = excluded.stamp
WHERE reports.stamp IS DISTINCT FROM excluded.stamp)sql";

// "size@nanoseconds" of the file at path, "-" when there is none.
std::string FileStamp(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) return "-";
  const auto written = fs::last_write_time(path, error);
  return std::to_string(size) + "@" + std::to_string(written.time_since_epoch().count());
}

}  // namespace

struct Publisher::Pending {
  std::string month, file, journal, filed, lines, htm, stamp;
  bool has_htm = false;
};

bool PlantNameIsValid(const std::string& name) {
  return !name.empty() && name.size() <= 64 && name[0] != '.' &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_' || c == '.';
         });
}

Publisher::Publisher(PublishOptions options, std::ostream& log)
    : options_(std::move(options)), log_(log) {}

int Publisher::Run() {
  size_t failures = 0;
  for (;;) {
    try {
      if (db_ == nullptr) Connect();
      if (failures > 0) log_ << "QuellorArchive publish: the central database is back" << std::endl;
      failures = 0;
      const bool complete = Pass();
      if (!options_.follow) return complete ? 0 : 1;
      std::this_thread::sleep_for(kPollInterval);
    } catch (const DbError& error) {
      db_.reset();
      if (failures == 0) {
        log_ << "QuellorArchive publish: the central database is unreachable (" << error.what()
             << "); retrying with back-off" << std::endl;
      }
      const size_t step = std::min(failures++, std::size(kBackoffSeconds) - 1);
      if (!options_.follow && failures == std::size(kBackoffSeconds)) return 1;
      std::this_thread::sleep_for(std::chrono::seconds(kBackoffSeconds[step]));
    }
  }
}

void Publisher::Connect() {
  auto db = std::make_unique<DbConnection>(options_.conninfo);
  UpgradeSchema(*db);
  // Another publisher may have sent reports meanwhile: what is there is
  // read again at each connection.
  const DbResult rows = db->Exec("SELECT month || '/' || file, stamp FROM reports WHERE plant = $1",
                                 {{options_.plant}});
  published_.clear();
  settled_.clear();
  for (int row = 0; row < rows.rows(); ++row) {
    published_.emplace(rows.Value(row, 0), rows.Value(row, 1));
  }
  db_ = std::move(db);
}

bool Publisher::Pass() {
  const auto start = fs::file_time_type::clock::now();
  bool complete = true;
  for (const MonthFolder& month : ListMonths(options_.data_folder)) {
    std::error_code error;
    const auto changed = fs::last_write_time(month.path, error);
    const auto settled = settled_.find(month.relative);
    if (error || (settled != settled_.end() && settled->second == changed)) continue;
    const bool readable = PublishMonth(month);
    if (readable && changed < start - kSettleTime) settled_[month.relative] = changed;
    complete = complete && readable;
  }
  return complete;
}

bool Publisher::PublishMonth(const MonthFolder& month) {
  bool complete = true;
  std::vector<Pending> batch;
  for (const ReportPath& report : ReportFiles(month, ListMonthFiles(month.path).xml, nullptr)) {
    const std::string xml = JoinPath(month.path, report.Xml());
    const std::string htm = JoinPath(month.path, report.Htm());
    Pending pending;
    pending.stamp = FileStamp(xml) + " " + FileStamp(htm);
    // The names as the index spells them (UTF-8).
    const IndexEntry entry = IndexEntryOf(report);
    pending.file = DbText(entry.file);
    const auto known = published_.find(month.relative + "/" + pending.file);
    if (known != published_.end() && known->second == pending.stamp) {
      ++found_;
      continue;
    }
    std::string document, error;
    if (!ReadWholeFile(xml, &document, &error)) {
      log_ << "QuellorArchive publish: " << month.relative << "/" << pending.file
           << " cannot be read (" << error << "); tried again at the next pass" << std::endl;
      complete = false;
      continue;
    }
    pending.month = month.relative;
    pending.journal = DbText(entry.name);
    pending.filed = SqlTime(report.time);
    pending.lines = PublishedText(document);
    pending.has_htm = ReadWholeFile(htm, &pending.htm, &error);
    batch.push_back(std::move(pending));
    if (batch.size() == kBatch) Send(std::exchange(batch, {}));
  }
  if (!batch.empty()) Send(batch);
  return complete;
}

void Publisher::Send(const std::vector<Pending>& batch) {
  InTransaction(*db_, [&] {
    for (const Pending& report : batch) {
      db_->Exec(kUpsert, {{options_.plant},
                          {report.month},
                          {report.file},
                          {report.journal},
                          {report.filed},
                          {report.lines},
                          {report.htm, true, !report.has_htm},
                          {report.stamp}});
    }
  });
  for (const Pending& report : batch) {
    published_[report.month + "/" + report.file] = report.stamp;
  }
  sent_ += batch.size();
}
