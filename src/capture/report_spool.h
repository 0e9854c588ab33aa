#ifndef QUELLOR_CAPTURE_REPORT_SPOOL_H_
#define QUELLOR_CAPTURE_REPORT_SPOOL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

// The report being gathered, kept on disk so that a crash or a power loss
// does not lose it: "QuellorService.spool" in the given folder holds every
// piece received since the last cut, each behind a line with the instant it
// arrived and its size, so that a report recovered after a crash is named by
// the time its last byte came.
//
// Filing is exactly once. At a cut the flushed spool is renamed, atomically
// and never over another file, to a filing record
// "QuellorService.spool.NNNNNNNNNN.YYYYMMDDhhmmss": a sequence number that
// orders the records as they were cut (the clock may step back, and several
// reports may be cut in one second), then the instant the report files are
// named and stamped with. The report is written with that instant and the
// record removed afterwards; a record whose report cannot be stored stays
// until it is. A process that ends part way leaves the spool (filed anew, at
// its last byte's time) or records, whose reports are then completed at
// their recorded instants: an earlier filing's files are recognised by their
// content, so nothing is filed twice (see CompleteReportAt).
//
// Failures never stop the capture: the first one is logged, the spool of the
// report then being gathered is dropped (a partial spool must not be
// recovered as a report), and the next report tries again.
class ReportSpool {
 public:
  // A filing record: its file, its place in the order of cuts, and the
  // instant of its report; none for a spool an earlier process left, whose
  // report takes the time its last byte was received.
  struct Record {
    std::string path;
    uint64_t sequence = 0;
    std::optional<LocalTime> t;
  };

  // What a spool or a record holds: the bytes received, and when the last
  // of them came (none in a spool written without instants).
  struct Contents {
    std::string text;
    std::optional<LocalTime> last_received;
  };

  // The spool stem + ".spool" in folder; nothing is touched until the first
  // call.
  ReportSpool(const std::string& folder, const std::string& stem);
  ReportSpool(const ReportSpool&) = delete;
  ReportSpool& operator=(const ReportSpool&) = delete;

  // Adds text received at t, written to the spool at once.
  void Append(const std::string& text, const LocalTime& t);

  // Makes what was appended since the last flush safe against a power loss.
  void Flush();

  // The report gathered so far is cut at t: returns its filing record, or a
  // record with an empty path when nothing was spooled.
  Record BeginFiling(const LocalTime& t);

  // The record's report is filed (or not to be stored): the record goes.
  void EndFiling(const Record& record);

  // What an earlier process left, oldest first: its filing records, then its
  // spool, made a record without an instant. Called once, before the first
  // Append. A spool that cannot be made a record stays for the next start,
  // and nothing is spooled in this run.
  std::vector<Record> Leftovers();

  // Reads the spool or record file at path.
  static bool Read(const std::string& path, Contents* contents, std::string* error);

  // The contents of a spool file's bytes. A piece cut short by a crash gives
  // what was written of it; bytes without piece lines (a spool of an earlier
  // version) are all text.
  static Contents Parse(std::string_view bytes);

 private:
  void Fail(const std::string& what, const std::string& error);
  // Renames the spool to the next free record name for record->t; false
  // with record->path empty when that fails.
  bool MoveToRecord(Record* record, std::string* error);

  const std::string folder_;
  const std::string name_;
  const std::string path_;
  uint64_t next_sequence_ = 1;
  bool held_ = false;      // the spool file holds this report's bytes
  bool dirty_ = false;     // written since the last flush
  bool broken_ = false;    // a write failed: nothing more for this report
  bool reported_ = false;  // the current run of failures is logged
  bool blocked_ = false;   // an earlier run's spool is in the way: no spool
};

#endif  // QUELLOR_CAPTURE_REPORT_SPOOL_H_
