#ifndef QUELLOR_OUTPUT_REPORT_PATH_H_
#define QUELLOR_OUTPUT_REPORT_PATH_H_

#include <string>
#include <string_view>

#include "output/text_helpers.h"
#include "platform/clock.h"

// The names of what a data folder holds, built and taken apart in one place:
// DataFolder/YEAR/Mon/ with Mon always English, in it the index dir.xml and
// each report as Name_ddMonyy_hhnnss.htm and .xml, where Mon is the regional
// month abbreviation (the English one in files written under English
// settings) and "_N" follows for the N-th report of a name in one second.

// The index of a month folder.
inline constexpr char kIndexFileName[] = "dir.xml";

// A report file's name taken apart. Every part is kept as written, so that
// a name found on disk is built again byte for byte.
struct ReportPath {
  std::string name;   // the report name
  LocalTime time;     // the year comes from the year folder
  std::string month;  // the month abbreviation as written
  std::string clash;  // "", or "_N" as written ("_2", "_02")

  // Name_ddMonyy_hhnnss plus the clash suffix.
  std::string Stem() const;
  std::string Xml() const { return Stem() + ".xml"; }
  std::string Htm() const { return Stem() + ".htm"; }
  // 1, or the N of the clash suffix.
  int ClashNumber() const;
};

// The name of the month folder of month (1 = January): "Jan" ... "Dec".
const std::string& MonthFolderName(int month);

// The month (1 = January) whose folder is named name; 0 when none is.
int MonthOfFolderName(std::string_view name);

// The path of the month folder of t in data_folder: DataFolder/YEAR/Mon.
std::string MonthFolderPath(const std::string& data_folder, const LocalTime& t);

// The path of report_name filed at t as its clash-th report of that second,
// with the regional month abbreviation in the given encoding.
ReportPath NewReportPath(const std::string& report_name, const LocalTime& t, int clash,
                         TextEncoding encoding);

// Takes apart file, an .xml or .htm name (without folder) in a month folder
// of year, whose month abbreviation is the regional one in the given
// encoding or the English one. False when it is not a report file's name of
// that year.
bool ParseReportPath(std::string_view file, int year, TextEncoding encoding, ReportPath* path);

// path with a regional month abbreviation in encoding from spelt in encoding
// to; an English one stays as it is.
ReportPath Respelt(const ReportPath& path, TextEncoding from, TextEncoding to);

// True when a was filed before b: earlier time, then lower clash number,
// then file name.
bool FiledBefore(const ReportPath& a, const ReportPath& b);

#endif  // QUELLOR_OUTPUT_REPORT_PATH_H_
