#include "capture/report_spool.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/service_log.h"
#include "platform/file_system.h"

namespace {

constexpr char kSpoolName[] = "QuellorService.spool";

// YYYYMMDDhhmmss: sorts in time order.
std::string Stamp(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::optional<LocalTime> ParseStamp(std::string_view text) {
  if (text.size() != 14 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return std::nullopt;
  }
  const auto field = [&](size_t at, size_t length) {
    int value = 0;
    for (char c : text.substr(at, length)) value = value * 10 + (c - '0');
    return value;
  };
  const LocalTime t{field(0, 4), field(4, 2), field(6, 2), field(8, 2), field(10, 2), field(12, 2)};
  if (t.month < 1 || t.month > 12) return std::nullopt;
  return t;
}

}  // namespace

ReportSpool::ReportSpool(const std::string& folder)
    : folder_(folder), path_(JoinPath(folder, kSpoolName)) {}

void ReportSpool::Append(const std::string& text) {
  if (broken_ || text.empty()) return;
  std::string error;
  if (!AppendToFile(path_, text, &error)) return Fail("cannot be written", error);
  held_ = dirty_ = true;
  reported_ = false;
}

void ReportSpool::Flush() {
  if (!dirty_) return;
  dirty_ = false;
  std::string error;
  if (!SyncFile(path_, &error)) Fail("cannot be flushed", error);
}

ReportSpool::Record ReportSpool::BeginFiling(const LocalTime& t) {
  Record record{"", t};
  if (held_) Flush();
  if (held_ && !broken_) {
    std::string error;
    record.path = RecordPath(t);
    if (!RenameFile(path_, record.path, &error)) {
      record.path.clear();
      Fail("cannot be renamed", error);
    }
  }
  held_ = dirty_ = broken_ = false;
  return record;
}

void ReportSpool::EndFiling(const Record& record) {
  std::string error;
  if (!record.path.empty() && !RemoveFile(record.path, &error)) {
    WriteLog("Spool '" + record.path + "' cannot be removed: " + error);
  }
}

std::vector<ReportSpool::Record> ReportSpool::Leftovers(const LocalTime& now) {
  std::vector<Record> records;
  const std::string prefix = std::string(kSpoolName) + ".";
  for (const std::string& name : FileNames(folder_)) {
    if (!name.starts_with(prefix)) continue;
    if (const auto t = ParseStamp(std::string_view(name).substr(prefix.size()))) {
      records.push_back({JoinPath(folder_, name), *t});
    }
  }
  std::sort(records.begin(), records.end(),
            [](const Record& a, const Record& b) { return a.path < b.path; });
  if (FileExists(path_)) {
    // Never onto a record of the same second: that one's report would go.
    Record spool{RecordPath(now), now};
    if (FileExists(spool.path) || !RenameFile(path_, spool.path, nullptr)) spool.path = path_;
    records.push_back(spool);
  }
  return records;
}

// The spool of the report being gathered is dropped, so that a crash cannot
// bring back part of it as a report; the report itself stays in memory.
void ReportSpool::Fail(const std::string& what, const std::string& error) {
  if (!reported_) {
    WriteLog("Spool '" + path_ + "' " + what + ": " + error +
             "; the report being gathered is kept in memory only");
  }
  reported_ = broken_ = true;
  held_ = dirty_ = false;
  RemoveFile(path_, nullptr);
}

std::string ReportSpool::RecordPath(const LocalTime& t) const { return path_ + "." + Stamp(t); }
