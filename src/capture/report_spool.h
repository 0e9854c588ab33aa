#ifndef QUELLOR_CAPTURE_REPORT_SPOOL_H_
#define QUELLOR_CAPTURE_REPORT_SPOOL_H_

#include <string>
#include <vector>

#include "platform/clock.h"

// The report being gathered, kept on disk so that a crash or a power loss
// does not lose it: "QuellorService.spool" in the given folder holds the same
// bytes as the capture buffer.
//
// Filing is exactly once. At a cut the flushed spool is renamed, atomically,
// to a filing record "QuellorService.spool.YYYYMMDDhhmmss" that carries the
// instant the report files are named and stamped with; the report is written
// with that instant and the record removed afterwards. A process that ends
// part way leaves either the spool (nothing was written yet: it is filed
// anew) or the record, whose report is then completed at its recorded
// instant: the earlier filing's files are recognised by their content, so it
// is never filed twice (see CompleteReportAt).
//
// Failures never stop the capture: the first one is logged, the spool of the
// report then being gathered is dropped (a partial spool must not be
// recovered as a report), and the next report tries again.
class ReportSpool {
 public:
  // A filing record: the file and the instant of its report.
  struct Record {
    std::string path;
    LocalTime t;
  };

  // The spool in folder; nothing is touched until the first call.
  explicit ReportSpool(const std::string& folder);
  ReportSpool(const ReportSpool&) = delete;
  ReportSpool& operator=(const ReportSpool&) = delete;

  // Adds text received, written to the spool at once.
  void Append(const std::string& text);

  // Makes what was appended since the last flush safe against a power loss.
  void Flush();

  // The report gathered so far is cut at t: returns its filing record, or a
  // record with an empty path when nothing was spooled.
  Record BeginFiling(const LocalTime& t);

  // The record's report is filed (or not to be stored): the record goes.
  void EndFiling(const Record& record);

  // What an earlier process left, oldest first: its filing records, then its
  // spool, made a record of now. Called once, before the first Append.
  std::vector<Record> Leftovers(const LocalTime& now);

 private:
  void Fail(const std::string& what, const std::string& error);
  std::string RecordPath(const LocalTime& t) const;

  const std::string folder_;
  const std::string path_;
  bool held_ = false;      // the spool file holds this report's bytes
  bool dirty_ = false;     // written since the last flush
  bool broken_ = false;    // a write failed: nothing more for this report
  bool reported_ = false;  // the current run of failures is logged
};

#endif  // QUELLOR_CAPTURE_REPORT_SPOOL_H_
