#include "archive/archive.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <tuple>

#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "util/digits.h"

namespace fs = std::filesystem;

namespace {

// The number that digits spells, or -1 when it is not four digits.
int YearNumber(const std::string& name) {
  if (name.size() != 4 || !AllDigits(name)) return -1;
  return static_cast<int>(DigitsValue(name));
}

bool IsFolder(const fs::path& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

}  // namespace

std::string RelativeMonth(int year, int month) {
  return std::to_string(year) + "/" + MonthFolderName(month);
}

bool MonthFolderOf(const std::string& path, MonthFolder* month) {
  fs::path folder = fs::path(path);
  if (!folder.has_filename()) folder = folder.parent_path();
  month->month = MonthOfFolderName(folder.filename().string());
  month->year = YearNumber(folder.parent_path().filename().string());
  month->path = folder.string();
  if (month->month == 0 || month->year < 0) return false;
  month->relative = RelativeMonth(month->year, month->month);
  return true;
}

std::vector<MonthFolder> ListMonths(const std::string& data_folder) {
  std::vector<MonthFolder> months;
  std::error_code error;
  for (const auto& year : fs::directory_iterator(data_folder, error)) {
    const int number = YearNumber(year.path().filename().string());
    if (number < 0 || !IsFolder(year.path())) continue;
    for (int month = 1; month <= 12; ++month) {
      const fs::path path = year.path() / MonthFolderName(month);
      if (IsFolder(path)) {
        months.push_back({number, month, path.string(), RelativeMonth(number, month)});
      }
    }
  }
  std::sort(months.begin(), months.end(), [](const MonthFolder& a, const MonthFolder& b) {
    return std::tie(a.year, a.month) > std::tie(b.year, b.month);
  });
  return months;
}

MonthFiles ListMonthFiles(const std::string& month_path) {
  MonthFiles files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(month_path, error)) {
    const std::string name = entry.path().filename().string();
    if (name == kIndexFileName) {
      files.has_index = true;
    } else if (IsTemporaryName(name)) {
      files.temporary.push_back(name);
    } else if (name.ends_with(".xml")) {
      files.xml.push_back(name);
    } else if (name.ends_with(".htm")) {
      files.htm.push_back(name);
    }
  }
  for (auto* list : {&files.xml, &files.htm, &files.temporary})
    std::sort(list->begin(), list->end());
  return files;
}

double SecondsSinceWritten(const std::string& path) {
  std::error_code error;
  const auto written = fs::last_write_time(path, error);
  if (error) return 1e9;
  return std::chrono::duration<double>(fs::file_time_type::clock::now() - written).count();
}

std::vector<ReportPath> ReportFiles(const MonthFolder& month,
                                    const std::vector<std::string>& xml_files,
                                    std::vector<std::string>* skipped) {
  std::vector<ReportPath> reports;
  ReportPath report;
  for (const std::string& file : xml_files) {
    if (ParseReportPath(file, month.year, TextEncoding::kLocal, &report)) {
      reports.push_back(report);
    } else if (skipped != nullptr) {
      skipped->push_back(file);
    }
  }
  std::sort(reports.begin(), reports.end(), FiledBefore);
  return reports;
}

std::vector<IndexEntry> EntriesOf(const std::vector<ReportPath>& reports) {
  std::vector<IndexEntry> entries;
  entries.reserve(reports.size());
  for (const ReportPath& report : reports) entries.push_back(IndexEntryOf(report));
  return entries;
}

bool InsideFolder(const std::string& folder, const std::string& path) {
  std::error_code error;
  const fs::path root = fs::canonical(folder, error);
  if (error) return false;
  const fs::path resolved = fs::canonical(path, error);
  if (error) return false;
  const auto [root_end, ignored] =
      std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
  return root_end == root.end();
}

bool ReadableInside(const std::string& folder, const std::string& path) {
  std::error_code error;
  return !fs::is_symlink(path, error) ? !error : InsideFolder(folder, path);
}
