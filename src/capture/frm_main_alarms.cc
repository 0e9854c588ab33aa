// frmMain's watch over the capture from the one-second tick: the spool made
// safe on disk, one log line each when reports stop coming or the data
// folder's volume runs low, and when that is over, and the reports that
// could not be stored tried again.

#include <cstdint>
#include <string>

#include "config/settings.h"
#include "output/service_log.h"
#include "platform/file_system.h"
#include "service/frm_main.h"

namespace {

// Free space changes slowly, and asking a network volume for it can take
// long enough to hold up the loop thread: once a minute is enough.
constexpr int64_t kFreeSpaceCheckTicks = 60;
constexpr uint64_t kMegabyte = 1024 * 1024;

}  // namespace

void frmMain::ReadAlarmSettings(const SettingsReader& settings) {
  silence_alarm_minutes_ = settings.Count(kSilenceAlarmMinutes);
  min_free_megabytes_ = settings.Count(kMinFreeMegabytes);
}

void frmMain::WatchCapture() {
  if (spool_) spool_->Flush();
  CheckSilence();
  // The first tick checks at once, so that a start on a full disk is told.
  if (ticks_++ % kFreeSpaceCheckTicks == 0) {
    CheckFreeSpace();
    RetryWaiting();
  }
}

void frmMain::CheckSilence() {
  ++silent_seconds_;
  if (silence_alarm_minutes_ <= 0 || silence_logged_ ||
      silent_seconds_ < int64_t{silence_alarm_minutes_} * 60) {
    return;
  }
  silence_logged_ = true;
  const std::string text =
      "No report filed for " + std::to_string(silence_alarm_minutes_) + " minutes";
  WriteLog(text, LogSeverity::kWarning);
  NTService1.SetStatusText(text);
}

void frmMain::ReportFiled() {
  silent_seconds_ = 0;
  if (!silence_logged_) return;
  silence_logged_ = false;
  WriteLog("Reports are filed again");
  NTService1.SetStatusText("Reports are filed again");
}

// A data folder that cannot be asked (gone for the moment) changes nothing:
// the report writer tells of that.
void frmMain::CheckFreeSpace() {
  uint64_t bytes = 0;
  if (min_free_megabytes_ <= 0 || !FreeBytes(data_folder_, &bytes, nullptr)) return;
  const uint64_t megabytes = bytes / kMegabyte;
  const bool low = megabytes < static_cast<uint64_t>(min_free_megabytes_);
  if (low == disk_low_) return;
  disk_low_ = low;
  WriteLog((low ? "Low disk space: " : "Disk space recovered: ") + std::to_string(megabytes) +
               " MB free for " + data_folder_ +
               " (MinFreeMegabytes=" + std::to_string(min_free_megabytes_) + ")",
           low ? LogSeverity::kWarning : LogSeverity::kInformation);
}
