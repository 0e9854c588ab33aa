#include "output/report_path.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "platform/file_system.h"
#include "util/digits.h"

namespace {

constexpr size_t kTimeDigits = 6;  // hhnnss

// The number that digits spells, or -1 when it is empty, too long or holds
// anything but the digits 0 to 9.
int Number(std::string_view digits) {
  if (digits.size() > kTimeDigits || !AllDigits(digits)) return -1;
  return static_cast<int>(DigitsValue(digits));
}

// Splits the last "_"-separated part off *rest; "" when there is none.
std::string_view TakeLastPart(std::string_view* rest) {
  const size_t underscore = rest->rfind('_');
  if (underscore == std::string_view::npos) return {};
  std::string_view part = rest->substr(underscore + 1);
  *rest = rest->substr(0, underscore);
  return part;
}

// The month (1 ... 12) that abbreviation names among names; 0 for none.
int MonthIn(const std::array<std::string, 12>& names, std::string_view abbreviation) {
  const auto found = std::find(names.begin(), names.end(), abbreviation);
  return found == names.end() ? 0 : static_cast<int>(found - names.begin()) + 1;
}

// "ddMonyy" of year, the month regional in encoding or English; false when
// date is not.
bool ParseDate(std::string_view date, int year, TextEncoding encoding, ReportPath* path) {
  if (date.size() < 5 || Number(date.substr(date.size() - 2)) != year % 100) return false;
  const std::string_view month = date.substr(2, date.size() - 4);
  int number = MonthIn(Regional(encoding).month_abbreviations, month);
  if (number == 0) number = MonthIn(Regional(TextEncoding::kEnglish).month_abbreviations, month);
  path->month = std::string(month);
  path->time.year = year;
  path->time.month = number;
  path->time.day = Number(date.substr(0, 2));
  return number != 0 && path->time.day >= 1 && path->time.day <= 31;
}

// "hhnnss"; false when time is not.
bool ParseTime(std::string_view time, LocalTime* t) {
  if (time.size() != kTimeDigits || Number(time) < 0) return false;
  t->hour = Number(time.substr(0, 2));
  t->minute = Number(time.substr(2, 2));
  t->second = Number(time.substr(4, 2));
  return t->hour < 24 && t->minute < 60 && t->second < 60;
}

}  // namespace

std::string ReportPath::Stem() const {
  return name + "_" + TwoDigits(time.day) + month + TwoDigits(time.year % 100) + "_" +
         TwoDigits(time.hour) + TwoDigits(time.minute) + TwoDigits(time.second) + clash;
}

int ReportPath::ClashNumber() const { return clash.empty() ? 1 : Number(clash.substr(1)); }

const std::string& MonthFolderName(int month) { return MonthNames().at(month - 1); }

int MonthOfFolderName(std::string_view name) { return MonthIn(MonthNames(), name); }

std::string MonthFolderPath(const std::string& data_folder, const LocalTime& t) {
  return JoinPath(JoinPath(data_folder, std::to_string(t.year)), MonthFolderName(t.month));
}

ReportPath NewReportPath(const std::string& report_name, const LocalTime& t, int clash,
                         TextEncoding encoding) {
  return {report_name, t, RegionalMonth(t, encoding), clash > 1 ? "_" + std::to_string(clash) : ""};
}

bool ParseReportPath(std::string_view file, int year, TextEncoding encoding, ReportPath* path) {
  if (!file.ends_with(".xml") && !file.ends_with(".htm")) return false;
  std::string_view rest = file.substr(0, file.size() - 4);
  std::string_view last = TakeLastPart(&rest);
  path->clash.clear();
  if (last.size() != kTimeDigits) {
    if (Number(last) < 2) return false;
    path->clash = "_" + std::string(last);
    last = TakeLastPart(&rest);
  }
  const std::string_view date = TakeLastPart(&rest);
  if (rest.empty() || !ParseTime(last, &path->time) || !ParseDate(date, year, encoding, path)) {
    return false;
  }
  path->name = std::string(rest);
  return true;
}

bool SpeltInEnglish(const ReportPath& path) {
  return MonthIn(Regional(TextEncoding::kLocal).month_abbreviations, path.month) == 0 &&
         MonthIn(Regional(TextEncoding::kEnglish).month_abbreviations, path.month) != 0;
}

ReportPath Respelt(const ReportPath& path, TextEncoding from, TextEncoding to) {
  ReportPath respelt = path;
  const int month = MonthIn(Regional(from).month_abbreviations, path.month);
  if (month != 0) respelt.month = Regional(to).month_abbreviations[month - 1];
  return respelt;
}

bool FiledBefore(const ReportPath& a, const ReportPath& b) {
  const LocalTime& s = a.time;
  const LocalTime& t = b.time;
  return std::tuple(s.year, s.month, s.day, s.hour, s.minute, s.second, a.ClashNumber(), a.Xml()) <
         std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, b.ClashNumber(), b.Xml());
}
