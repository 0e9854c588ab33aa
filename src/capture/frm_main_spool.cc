// frmMain's spool: the report being gathered kept on disk, and what an
// earlier process left there filed at start.

#include <memory>
#include <string>

#include "capture/report_name.h"
#include "capture/report_spool.h"
#include "output/report_writer.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "service/frm_main.h"

// Each leftover is filed at its recorded instant through the normal path;
// one that cannot be read or stored stays for the next start.
void frmMain::RecoverLeftovers() {
  spool_ = std::make_unique<ReportSpool>(state_folder_);
  for (const ReportSpool::Record& record : spool_->Leftovers(clock_.Now())) {
    std::string text, error;
    if (!ReadWholeFile(record.path, &text, &error)) {
      WriteLog("Spool '" + record.path + "' cannot be read: " + error);
      continue;
    }
    const std::string report = NormalizeLineEnds(text);
    const std::string name = GetReportName(report);
    bool filed = true;
    if (!name.empty()) {
      WriteLog("Recovered report '" + name + "' left by an earlier run (" +
               std::to_string(text.size()) + " bytes)");
      filed = CompleteReportAt(data_folder_, name, report, record.t);
      if (filed) ReportFiled();
    }
    EndFiling(record, filed);
  }
}

void frmMain::SpoolReceived(const std::string& text) {
  if (spool_) spool_->Append(text);
}

ReportSpool::Record frmMain::BeginFiling(const LocalTime& t) {
  return spool_ ? spool_->BeginFiling(t) : ReportSpool::Record{"", t};
}

void frmMain::EndFiling(const ReportSpool::Record& record, bool filed) {
  if (spool_ && filed) spool_->EndFiling(record);
}
