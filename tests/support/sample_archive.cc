#include "support/sample_archive.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "capture/report_name.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "support/fake_platform.h"

namespace fs = std::filesystem;

namespace {

const char* const kSamples[] = {"process_alarm",           "system_error",
                                "system_maintenance",      "operator_message",
                                "operator_process_change", "unknown_title"};

std::string Sample(const std::string& name) {
  return NormalizeLineEnds(ReadBytes(std::string(QUELLOR_SOURCE_DIR) +
                                     "/tools/journal_printer/samples/" + name + ".txt"));
}

void File(const std::string& data_folder, const std::string& text, const LocalTime& t) {
  WriteReport(data_folder, GetReportName(text), text, FakeClock(t));
}

// Files every sample in each month, a day apart, the planted line into two
// of them, and a clash in January.
void FillArchive(const std::string& data_folder) {
  InitMonthNames();
  const LocalTime months[] = {{2004, 11, 1}, {2004, 12, 1}, {2005, 1, 1}};
  for (const LocalTime& month : months) {
    for (int i = 0; i < 6; ++i) {
      std::string text = Sample(kSamples[i]);
      const LocalTime t{month.year, month.month, 3 + 2 * i, 8 + i, 10 * i, 7 * i};
      if ((month.month == 12 && i == 0) || (month.month == 1 && i == 1)) {
        text += std::string(kPlantedLine) + "\r\n";
      }
      File(data_folder, text, t);
      if (month.month == 1 && i == 0) File(data_folder, text, t);
    }
  }
}

// The sample archive, filed once per test program.
std::string Template() {
  static TempFolder folder;
  static const bool filled = (FillArchive(folder.path()), true);
  return filled ? folder.path() : "";
}

}  // namespace

SampleArchive::SampleArchive() {
  // Into a new folder: MinGW's copy refuses an existing one.
  fs::copy(Template(), path(), fs::copy_options::recursive);
  // Filed long ago, not being filed now.
  const auto written = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& entry : fs::recursive_directory_iterator(path())) {
    if (entry.is_regular_file()) fs::last_write_time(entry.path(), written);
  }
}

ServedArchive::ServedArchive(ServerOptions options)
    : source_(archive_.path()), server_(source_, std::move(options)) {
  server_.Bind("127.0.0.1", 0);
  thread_ = std::thread([this] { server_.Run(); });
  // Stop before Run has started would be lost.
  for (int i = 0; i < 500 && !server_.running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServedArchive::~ServedArchive() {
  server_.Stop();
  thread_.join();
}
