#include "archive/archive.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <pugixml.hpp>
#include <string_view>
#include <system_error>
#include <tuple>

#include "output/text_helpers.h"
#include "output/well_formed_xml.h"
#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kXml = ".xml";
constexpr char kIndexName[] = "dir.xml";

// The number that digits spells, or -1 when it is empty or holds anything
// but the digits 0 to 9.
int Number(std::string_view digits) {
  if (digits.empty() || digits.size() > 6) return -1;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Splits the last "_"-separated part off *rest.
std::string_view TakeLastPart(std::string_view* rest) {
  const size_t underscore = rest->rfind('_');
  if (underscore == std::string_view::npos) return {};
  std::string_view part = rest->substr(underscore + 1);
  *rest = rest->substr(0, underscore);
  return part;
}

// "ddMonyy" with the regional month abbreviation; false when date is not.
bool ParseDate(std::string_view date, int year, LocalTime* t) {
  if (date.size() < 5 || Number(date.substr(date.size() - 2)) != year % 100) return false;
  const std::string_view month = date.substr(2, date.size() - 4);
  const auto& names = Regional(TextEncoding::kLocal).month_abbreviations;
  const auto found = std::find(names.begin(), names.end(), month);
  t->year = year;
  t->month = static_cast<int>(found - names.begin()) + 1;
  t->day = Number(date.substr(0, 2));
  return found != names.end() && t->day >= 1 && t->day <= 31;
}

// "hhnnss"; false when time is not.
bool ParseTime(std::string_view time, LocalTime* t) {
  if (time.size() != 6 || Number(time) < 0) return false;
  t->hour = Number(time.substr(0, 2));
  t->minute = Number(time.substr(2, 2));
  t->second = Number(time.substr(4, 2));
  return t->hour < 24 && t->minute < 60 && t->second < 60;
}

std::string Relative(int year, int month) {
  return std::to_string(year) + "/" + MonthNames().at(month - 1);
}

// The month number of a month folder's name, 0 when it is none.
int MonthNumber(const std::string& name) {
  const auto& names = MonthNames();
  const auto found = std::find(names.begin(), names.end(), name);
  return found == names.end() ? 0 : static_cast<int>(found - names.begin()) + 1;
}

int YearNumber(const std::string& name) { return name.size() == 4 ? Number(name) : -1; }

bool IsFolder(const fs::path& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

}  // namespace

bool ParseReportFile(const std::string& file, int year, ReportFile* report) {
  std::string_view rest = file;
  if (!rest.ends_with(kXml)) return false;
  rest.remove_suffix(kXml.size());
  std::string_view last = TakeLastPart(&rest);
  report->clash = 1;
  if (last.size() != 6 || Number(last) < 0) {
    report->clash = Number(last);
    if (report->clash < 2) return false;
    last = TakeLastPart(&rest);
  }
  const std::string_view date = TakeLastPart(&rest);
  if (rest.empty() || !ParseTime(last, &report->time) || !ParseDate(date, year, &report->time)) {
    return false;
  }
  report->file = file;
  report->name = std::string(rest);
  return true;
}

bool FiledBefore(const ReportFile& a, const ReportFile& b) {
  const LocalTime& s = a.time;
  const LocalTime& t = b.time;
  return std::tie(s.year, s.month, s.day, s.hour, s.minute, s.second, a.clash, a.file) <
         std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second, b.clash, b.file);
}

bool MonthFolderOf(const std::string& path, MonthFolder* month) {
  fs::path folder = fs::path(path);
  if (!folder.has_filename()) folder = folder.parent_path();
  month->month = MonthNumber(folder.filename().string());
  month->year = YearNumber(folder.parent_path().filename().string());
  month->path = folder.string();
  if (month->month == 0 || month->year < 0) return false;
  month->relative = Relative(month->year, month->month);
  return true;
}

std::vector<MonthFolder> ListMonths(const std::string& data_folder) {
  std::vector<MonthFolder> months;
  std::error_code error;
  for (const auto& year : fs::directory_iterator(data_folder, error)) {
    const int number = YearNumber(year.path().filename().string());
    if (number < 0 || !IsFolder(year.path())) continue;
    for (int month = 1; month <= 12; ++month) {
      const fs::path path = year.path() / MonthNames()[month - 1];
      if (IsFolder(path)) months.push_back({number, month, path.string(), Relative(number, month)});
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
    if (name == kIndexName) {
      files.has_index = true;
    } else if (IsTemporaryName(name)) {
      files.temporary.push_back(name);
    } else if (name.ends_with(kXml)) {
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

std::string ActiveTemporaryFile(const std::string& month_path, const MonthFiles& files) {
  for (const std::string& name : files.temporary) {
    if (SecondsSinceWritten(JoinPath(month_path, name)) < kActiveTemporarySeconds) return name;
  }
  return "";
}

bool ReadIndex(const std::string& path, std::vector<IndexEntry>* entries, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text, error)) return false;
  pugi::xml_document document;
  if (!IsWellFormedXml(text) || !document.load_buffer(text.data(), text.size())) {
    *error = "not well-formed XML";
    return false;
  }
  entries->clear();
  for (pugi::xml_node report : document.document_element().children("Report")) {
    entries->push_back(
        {report.child_value("Name"), report.child_value("Timestamp"), report.child_value("File")});
  }
  return true;
}

std::vector<ReportFile> ReportFiles(const MonthFolder& month,
                                    const std::vector<std::string>& xml_files,
                                    std::vector<std::string>* skipped) {
  std::vector<ReportFile> reports;
  ReportFile report;
  for (const std::string& file : xml_files) {
    if (ParseReportFile(file, month.year, &report)) {
      reports.push_back(report);
    } else if (skipped != nullptr) {
      skipped->push_back(file);
    }
  }
  std::sort(reports.begin(), reports.end(), FiledBefore);
  return reports;
}

std::vector<IndexEntry> EntriesOf(const std::vector<ReportFile>& reports) {
  std::vector<IndexEntry> entries;
  entries.reserve(reports.size());
  for (const ReportFile& report : reports) {
    const std::string clash = report.clash > 1 ? "_" + std::to_string(report.clash) : "";
    entries.push_back(IndexEntryOf(report.name, report.time, clash));
  }
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
