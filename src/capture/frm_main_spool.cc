// frmMain's spool: the report being gathered kept on disk, and the filing
// records whose reports wait to be filed: what an earlier process left, and
// what could not be stored, retried while the service runs.

#include <algorithm>
#include <memory>
#include <string>

#include "capture/report_name.h"
#include "capture/report_spool.h"
#include "output/report_writer.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "service/frm_main.h"
#include "util/instance_name.h"

namespace {

// The name of a recovered report without a title line: what was received
// is never dropped at a restart.
constexpr char kRecoveryName[] = "RecoveredReport";

}  // namespace

// Only listed here: the records are filed once the loop runs, after the
// service manager has been told of the start and the port is open.
void frmMain::RecoverLeftovers() {
  spool_ = std::make_unique<ReportSpool>(state_folder_, ForInstance(kProgramFileStem, instance_));
  for (const ReportSpool::Record& record : spool_->Leftovers()) {
    waiting_.push_back({record, true});
  }
  RetryWaiting();
}

void frmMain::SpoolReceived(const std::string& text) {
  if (spool_) spool_->Append(text, clock_.Now());
}

ReportSpool::Record frmMain::BeginFiling(const LocalTime& t) {
  return spool_ ? spool_->BeginFiling(t) : ReportSpool::Record{"", 0, t};
}

void frmMain::EndFiling(const ReportSpool::Record& record) {
  if (spool_) spool_->EndFiling(record);
}

void frmMain::KeepWaiting(const ReportSpool::Record& record) {
  if (!record.path.empty()) waiting_.push_back({record, false, true, false});
}

void frmMain::RetryWaiting() {
  for (WaitingRecord& waiting : waiting_) waiting.due = true;
  if (!waiting_.empty()) filing_timer_->SetEnabled(true);
}

void frmMain::FileNextWaiting() {
  const auto next = std::find_if(waiting_.begin(), waiting_.end(),
                                 [](const WaitingRecord& waiting) { return waiting.due; });
  if (next == waiting_.end()) {
    filing_timer_->SetEnabled(false);
    return;
  }
  next->due = false;
  if (FileWaiting(*next)) waiting_.erase(next);
}

// A record is told once: "Recovered report" (an earlier process's) at its
// first try, its failure once, and "stored after all" when a retry files
// it after a failure.
bool frmMain::FileWaiting(WaitingRecord& waiting) {
  const ReportSpool::Record& record = waiting.record;
  ReportSpool::Contents contents;
  std::string error;
  if (!ReportSpool::Read(record.path, &contents, &error)) {
    if (!waiting.told)
      WriteLog("Spool '" + record.path + "' cannot be read: " + error, LogSeverity::kError);
    waiting.told = true;
    return false;
  }
  if (contents.text.empty()) {  // only the start of a piece line: nothing received
    EndFiling(record);
    return true;
  }
  const std::string report = NormalizeLineEnds(contents.text);
  std::string name = GetReportName(report);
  if (name.empty()) name = kRecoveryName;
  const LocalTime t = record.t.value_or(contents.last_received.value_or(clock_.Now()));
  if (waiting.recovered && !waiting.told) {
    WriteLog("Recovered report '" + name + "' left by an earlier run (" +
             std::to_string(contents.text.size()) + " bytes)");
  }
  std::string reason;
  if (!CompleteReportAt(data_folder_, name, report, t, waiting.told ? &reason : nullptr)) {
    waiting.told = true;
    return false;
  }
  if (waiting.told)
    WriteLog("Report '" + name + "' of " + FormatTimestamp(t) + " stored after all");
  ReportFiled();
  EndFiling(record);
  return true;
}
