// frmMain's receive path, end of report, status clock and shutdown.

#include <algorithm>
#include <string>

#include "capture/report_name.h"
#include "output/report_writer.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "service/frm_main.h"
#include "util/numbered_error.h"

void frmMain::comPort_OnComm() {
  if (ended_) return;
  // Communication errors (codes above 1000) and other notifications leave
  // the buffer and the countdown alone.
  const int16_t event = comPort.CommEvent();
  if (event == SerialPort::kEvReceive) ReadInput();
  if (event == SerialPort::kEvEOF) EndOfJob();
}

// A network printer's job is its report: it ends with its connection, before
// the silence would end it.
void frmMain::EndOfJob() {
  RunLoggingErrors("EndOfJob: ", [&] { FileGathered("EndOfJob: "); });
}

// A failure here is logged and the capture goes on: the text stays in the
// port or the buffer and the countdown still restarts. A lost port is no
// failure here: TakePortInput closes it and has it opened again.
void frmMain::ReadInput() {
  RunLoggingErrors("ReadInput: ", [&] {
    StopCountdownAndGather("ReadInput: ");
    display_.ShowBytesReceived(std::to_string(CaptureBuffer().Length()));
    ArmEndOfReport();
  });
}

void frmMain::tmrEOF_Timer() {
  RunLoggingErrors("tmrEOF_Timer: ", [&] {
    // Characters that waited without a receive event of their own.
    StopCountdownAndGather("tmrEOF_Timer: ");
    CutReport();
  });
}

void frmMain::tmr1sec_Timer() {
  const LocalTime now = clock_.Now();
  if (now.second % 5 == 0) display_.SetStatusPanel(Display::kClockPanel, FormatTimestamp(now));
  RetryPort();
  WatchCapture();
}

void frmMain::CutReport() {
  cStringBuilder& buffer = CaptureBuffer();
  // The size as received, before line ends change; shown until the next receipt.
  display_.ShowBytesReceived(std::to_string(buffer.Length()));
  const std::string report = NormalizeLineEnds(buffer.ToString());
  buffer.SetTheString("");
  display_.ShowReceived(report.substr(0, kMaxShownCharacters));
  const std::string name = GetReportName(report);
  // One instant names the report's files and its spool's filing record.
  const LocalTime t = clock_.Now();
  const ReportSpool::Record record = BeginFiling(t);
  if (name.empty()) return EndFiling(record);  // not to be stored
  display_.SetStatusPanel(Display::kReportPanel,
                          "Report '" + name + "' received  " + FormatTimestamp(t));
  if (!WriteReportAt(data_folder_, name, report, t)) return KeepWaiting(record);
  ReportFiled();
  EndFiling(record);
  RetryWaiting();  // what failed earlier may well be stored now
}

// A report still being gathered is filed before the process ends, so nothing
// received is lost (what the device still holds and a failed last read
// included); only then is the port closed.
void frmMain::ShutDown() {
  if (ended_) return;
  RunLoggingErrors("ShutDown: ", [&] {
    comPort.StopReading();  // then the last Input takes what the device holds
    FileGathered("ShutDown: ");
  });
  RunLoggingErrors("ShutDown: ", [&] {
    if (comPort.PortOpen()) comPort.SetPortOpen(false);
  });
  capture_.reset();
  EndProgram(0);
}

// A failed gathering is logged under where and the caller's steps go on:
// what could not be read stays in the port, and the buffer is kept.
void frmMain::StopCountdownAndGather(const std::string& where) {
  tmrEOF->SetEnabled(false);
  RunLoggingErrors(where, [&] { GatherInput(); });
}

void frmMain::FileGathered(const std::string& where) {
  StopCountdownAndGather(where);
  if (CaptureBuffer().Length() > 0) CutReport();
}

cStringBuilder& frmMain::CaptureBuffer() {
  if (!capture_) capture_ = std::make_unique<cStringBuilder>();
  return *capture_;
}

// The text is spooled before anything else is done with it, so that a crash
// loses at most the piece being read. A full buffer (overflow) is filed as a
// report of its own first, and the text starts the next one, with its own
// countdown: the spool never holds more than the buffer.
void frmMain::GatherInput() {
  const std::string text = TakePortInput();
  if (text.empty()) return;
  const bool overflow = !CaptureBuffer().HasRoomFor(text.size());
  if (overflow) {
    WriteLog("Capture buffer: " + NumberedText(kErrOverflow, "Overflow"));
    CutReport();
  }
  SpoolReceived(text);
  CaptureBuffer().Append(text);
  if (overflow) ArmEndOfReport();
}

void frmMain::ArmEndOfReport() {
  tmrEOF->SetInterval(ArmingInterval());
  tmrEOF->SetEnabled(true);
}

// An interval never validly set would leave reports uncut, one above the
// timer's range would be refused: both still cut reports.
int32_t frmMain::ArmingInterval() const {
  if (end_of_file_interval_ < 1) return kFallbackEndOfFileInterval;
  return std::min(end_of_file_interval_, Timer::kMaxInterval);
}
