#include "capture/report_spool.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "output/service_log.h"
#include "platform/file_system.h"
#include "util/digits.h"

namespace {

constexpr size_t kStampDigits = 14;
constexpr size_t kSequenceDigits = 10;
// A record name taken by a file the listing at start did not show (another
// process's, say) moves on to the next number; this many are tried.
constexpr int kNameAttempts = 100;

// YYYYMMDDhhmmss: sorts in time order.
std::string Stamp(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::optional<LocalTime> ParseStamp(std::string_view text) {
  if (text.size() != kStampDigits || !AllDigits(text)) return std::nullopt;
  const auto field = [&](size_t at, size_t length) {
    return static_cast<int>(DigitsValue(text.substr(at, length)));
  };
  const LocalTime t{field(0, 4), field(4, 2), field(6, 2), field(8, 2), field(10, 2), field(12, 2)};
  if (t.month < 1 || t.month > 12) return std::nullopt;
  return t;
}

// The line before each piece: its instant and its size.
std::string PieceLine(const LocalTime& t, size_t size) {
  return Stamp(t) + " " + std::to_string(size) + "\n";
}

// Reads a piece line at the start of bytes: its instant, and the size of
// the line and of the piece.
bool ParsePieceLine(std::string_view bytes, LocalTime* t, size_t* line_size, size_t* size) {
  const size_t end = bytes.find('\n');
  if (end == std::string_view::npos || end <= kStampDigits + 1 || bytes[kStampDigits] != ' ') {
    return false;
  }
  const std::optional<LocalTime> stamp = ParseStamp(bytes.substr(0, kStampDigits));
  const std::string_view digits = bytes.substr(kStampDigits + 1, end - kStampDigits - 1);
  if (!stamp || !AllDigits(digits) || digits.size() > 18) return false;
  *t = *stamp;
  *line_size = end + 1;
  *size = static_cast<size_t>(DigitsValue(digits));
  return true;
}

// A piece line cut short by a crash (the rest of the file): no text.
bool IsCutPieceLine(std::string_view bytes) {
  return bytes.size() < kStampDigits + 20 && bytes[0] >= '0' && bytes[0] <= '9' &&
         bytes.find_first_not_of("0123456789 ") == std::string_view::npos;
}

// The record of name (without folder), if name is one of the spool named
// spool_name: spool_name + "." + "SEQUENCE.STAMP",
// "SEQUENCE" for a spool left by an earlier process, or "STAMP" as earlier
// versions named records (ordered before the others).
std::optional<ReportSpool::Record> ParseRecordName(std::string_view name,
                                                   const std::string& spool_name) {
  const std::string prefix = spool_name + ".";
  if (!name.starts_with(prefix)) return std::nullopt;
  const std::string_view rest = name.substr(prefix.size());
  ReportSpool::Record record;
  if (rest.size() == kStampDigits) {
    record.t = ParseStamp(rest);
    if (!record.t) return std::nullopt;
    return record;
  }
  const std::string_view sequence = rest.substr(0, kSequenceDigits);
  if (sequence.size() != kSequenceDigits || !AllDigits(sequence)) return std::nullopt;
  record.sequence = DigitsValue(sequence);
  if (rest.size() == kSequenceDigits) return record;
  record.t = ParseStamp(rest.substr(kSequenceDigits + 1));
  if (rest[kSequenceDigits] != '.' || !record.t) return std::nullopt;
  return record;
}

std::string RecordName(const std::string& spool_name, uint64_t sequence,
                       const std::optional<LocalTime>& t) {
  char number[32];
  std::snprintf(number, sizeof number, "%010llu", static_cast<unsigned long long>(sequence));
  return spool_name + "." + number + (t ? "." + Stamp(*t) : "");
}

}  // namespace

ReportSpool::ReportSpool(const std::string& folder, const std::string& stem)
    : folder_(folder), name_(stem + ".spool"), path_(JoinPath(folder, name_)) {}

void ReportSpool::Append(const std::string& text, const LocalTime& t) {
  if (broken_ || blocked_ || text.empty()) return;
  std::string error;
  if (!AppendToFile(path_, PieceLine(t, text.size()) + text, &error)) {
    return Fail("cannot be written", error);
  }
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
  Record record{"", 0, t};
  if (held_) Flush();
  if (held_ && !broken_) {
    std::string error;
    if (!MoveToRecord(&record, &error)) Fail("cannot be renamed", error);
  }
  held_ = dirty_ = broken_ = false;
  return record;
}

void ReportSpool::EndFiling(const Record& record) {
  std::string error;
  if (!record.path.empty() && !RemoveFile(record.path, &error)) {
    WriteLog("Spool '" + record.path + "' cannot be removed: " + error, LogSeverity::kWarning);
  }
}

std::vector<ReportSpool::Record> ReportSpool::Leftovers() {
  std::vector<Record> records;
  for (const std::string& name : FileNames(folder_)) {
    if (std::optional<Record> record = ParseRecordName(name, name_)) {
      record->path = JoinPath(folder_, name);
      next_sequence_ = std::max(next_sequence_, record->sequence + 1);
      records.push_back(*record);
    }
  }
  std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
    return std::tie(a.sequence, a.path) < std::tie(b.sequence, b.path);
  });
  if (FileExists(path_)) {
    Record spool;
    std::string error;
    if (MoveToRecord(&spool, &error)) {
      records.push_back(spool);
    } else {
      blocked_ = true;
      WriteLog("Spool '" + path_ + "' cannot be renamed: " + error +
                   "; it stays for the next start and nothing is spooled until then",
               LogSeverity::kError);
    }
  }
  return records;
}

bool ReportSpool::Read(const std::string& path, Contents* contents, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  *contents = Parse(bytes);
  return true;
}

ReportSpool::Contents ReportSpool::Parse(std::string_view bytes) {
  Contents contents;
  LocalTime t;
  size_t line_size = 0, size = 0;
  while (!bytes.empty()) {
    if (!ParsePieceLine(bytes, &t, &line_size, &size)) {
      if (!IsCutPieceLine(bytes)) contents.text.append(bytes);
      break;
    }
    bytes.remove_prefix(line_size);
    const std::string_view piece = bytes.substr(0, size);
    contents.text.append(piece);
    contents.last_received = t;
    bytes.remove_prefix(piece.size());
  }
  return contents;
}

// The spool of the report being gathered is dropped, so that a crash cannot
// bring back part of it as a report; the report itself stays in memory.
void ReportSpool::Fail(const std::string& what, const std::string& error) {
  if (!reported_) {
    WriteLog("Spool '" + path_ + "' " + what + ": " + error +
                 "; the report being gathered is kept in memory only",
             LogSeverity::kError);
  }
  reported_ = broken_ = true;
  held_ = dirty_ = false;
  RemoveFile(path_, nullptr);
}

bool ReportSpool::MoveToRecord(Record* record, std::string* error) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    record->sequence = next_sequence_++;
    record->path = JoinPath(folder_, RecordName(name_, record->sequence, record->t));
    if (RenameWithoutReplacing(path_, record->path, error)) return true;
    if (!FileExists(record->path)) break;
  }
  record->path.clear();
  return false;
}
