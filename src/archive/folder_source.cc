#include "archive/folder_source.h"

#include <iostream>
#include <utility>

#include "archive/text_index.h"
#include "output/report_index.h"
#include "output/report_path.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

FolderSource::FolderSource(std::string data_folder) : data_folder_(std::move(data_folder)) {}

FolderSource::~FolderSource() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (indexer_.joinable()) indexer_.join();
}

void FolderSource::StartIndexing(std::chrono::milliseconds interval) {
  indexer_ = std::thread([this, interval] { KeepIndexed(interval); });
}

void FolderSource::KeepIndexed(std::chrono::milliseconds interval) {
  // Kept open between updates: opening checks the whole file.
  TextIndex index;
  bool open = false;
  std::string reported;  // the last problem told, told once
  for (;;) {
    std::string error;
    open = (open || index.Open(data_folder_, true, &error)) && index.Update(stop_, nullptr, &error);
    if (!open && error != reported) {
      std::cerr << "search index: " << error << " (searches read the reports instead)" << std::endl;
    }
    reported = open ? "" : error;
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, interval, [this] { return stop_.load(); })) return;
  }
}

bool UpdateTextIndex(const std::string& data_folder, const std::atomic<bool>& stop,
                     uint64_t* bytes_read, std::string* error) {
  TextIndex index;
  return index.Open(data_folder, true, error) && index.Update(stop, bytes_read, error);
}

bool FolderSource::FindMonth(int year, int month, MonthFolder* found) const {
  if (month < 1 || month > 12) return false;
  const std::string path = MonthFolderPath(data_folder_, {year, month, 1});
  return MonthFolderOf(path, found) && FolderExists(path) && InsideFolder(data_folder_, path);
}

std::vector<LocalTime> FolderSource::Months() {
  std::vector<LocalTime> months;
  for (const MonthFolder& month : ListMonths(data_folder_)) {
    if (InsideFolder(data_folder_, month.path)) months.push_back({month.year, month.month, 1});
  }
  return months;
}

bool FolderSource::MonthReports(int year, int month, std::vector<ReportRef>* reports,
                                std::string* notice) {
  MonthFolder folder;
  if (!FindMonth(year, month, &folder)) return false;
  std::vector<IndexEntry> entries;
  std::string error;
  if (!ReadIndex(JoinPath(folder.path, kIndexFileName), &entries, &error)) {
    *notice = "The index of this month (dir.xml) cannot be read (" + error +
              "); its reports are listed from their files.";
    entries = EntriesOf(ReportFiles(folder, ListMonthFiles(folder.path).xml, nullptr));
  }
  reports->clear();
  ReportPath report;
  for (const IndexEntry& entry : entries) {
    if (ParseReportPath(entry.file, year, TextEncoding::kUtf8, &report)) {
      reports->push_back({folder.relative + "/" + entry.file, report.name, report.time});
    }
  }
  return true;
}

bool FolderSource::ReportBytes(const std::string& file, std::string* bytes) {
  const size_t slash = file.find('/'), second = file.find('/', slash + 1);
  if (slash == std::string::npos || second == std::string::npos ||
      !(file.ends_with(".xml") || file.ends_with(".htm"))) {
    return false;
  }
  MonthFolder month;
  ReportPath report;
  std::string ignored;
  if (!MonthFolderOf(JoinPath(data_folder_, file.substr(0, second)), &month) ||
      !ParseReportPath(file.substr(second + 1), month.year, TextEncoding::kUtf8, &report) ||
      !FolderExists(month.path) || !InsideFolder(data_folder_, month.path)) {
    return false;
  }
  const ReportPath local = Respelt(report, TextEncoding::kUtf8, TextEncoding::kLocal);
  const std::string path = JoinPath(month.path, file.ends_with(".xml") ? local.Xml() : local.Htm());
  return FileExists(path) && ReadableInside(data_folder_, path) &&
         ReadWholeFile(path, bytes, &ignored);
}

bool FolderSource::ReportText(const std::string& file, std::string* text) {
  std::string document;
  if (!ReportBytes(file, &document)) return false;
  *text = CodePageToUtf8(PrintedText(document));
  return true;
}

bool FolderSource::Search(const SearchQuery& query,
                          const std::function<bool(const ReportHits&)>& on_report,
                          std::string* note, std::string* error) {
  return SearchReports(data_folder_, query, on_report, note, error);
}
