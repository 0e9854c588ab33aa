#ifndef QUELLOR_ARCHIVE_ARCHIVE_H_
#define QUELLOR_ARCHIVE_ARCHIVE_H_

#include <string>
#include <vector>

#include "output/report_index.h"
#include "platform/clock.h"

// What the archive tools read from a data folder: its YEAR/Mon folders, the
// report files in them and their indexes. Nothing here writes.

// A temporary file younger than this many seconds is taken as a service
// writing in its folder right now; an older one is a leftover.
constexpr double kActiveTemporarySeconds = 10;

// A report file's name taken apart: Name_ddMonyy_hhnnss.xml, or with "_N"
// before the extension for the N-th report of that name in one second.
struct ReportFile {
  std::string file;  // the .xml name, without folder
  std::string name;  // the report name
  LocalTime time;    // the year comes from the year folder
  int clash = 1;     // 1, or the N of "_N"
};

// Takes apart file, an .xml name in a month folder of year. False when it is
// not a report file's name of that year (the file's month abbreviation is
// read with the regional settings, as the writer wrote it).
bool ParseReportFile(const std::string& file, int year, ReportFile* report);

// True when a was filed before b: earlier time, then lower clash number,
// then file name.
bool FiledBefore(const ReportFile& a, const ReportFile& b);

// One YEAR/Mon folder of a data folder.
struct MonthFolder {
  int year = 0;
  int month = 1;         // 1 = January
  std::string path;      // the folder in the platform's spelling
  std::string relative;  // "2005/Jan"
};

// The YEAR/Mon folders of data_folder (four-digit years, month names of
// MonthNames), newest first.
std::vector<MonthFolder> ListMonths(const std::string& data_folder);

// The YEAR/Mon folder that path names; false when it is not one.
bool MonthFolderOf(const std::string& path, MonthFolder* month);

// The files of a month folder by kind, each list in name order.
struct MonthFiles {
  bool has_index = false;
  std::vector<std::string> xml;        // .xml files other than dir.xml
  std::vector<std::string> htm;        // .htm files
  std::vector<std::string> temporary;  // ReplacingFile's temporary files
};
// Lists month_path's files; all empty when the folder cannot be read.
MonthFiles ListMonthFiles(const std::string& month_path);

// Seconds since path was last written; a large number when it cannot be told.
double SecondsSinceWritten(const std::string& path);

// The first temporary file of files written less than
// kActiveTemporarySeconds ago, or "".
std::string ActiveTemporaryFile(const std::string& month_path, const MonthFiles& files);

// The entries of the index at path. False with the reason when it cannot be
// read or is not well-formed XML.
bool ReadIndex(const std::string& path, std::vector<IndexEntry>* entries, std::string* error);

// The report files of month among xml_files, oldest first; names that are
// not report file names go to *skipped when it is not null.
std::vector<ReportFile> ReportFiles(const MonthFolder& month,
                                    const std::vector<std::string>& xml_files,
                                    std::vector<std::string>* skipped);

// The index entries the service would have written for reports, in order.
std::vector<IndexEntry> EntriesOf(const std::vector<ReportFile>& reports);

// True when path, with every symbolic link followed, lies inside folder.
bool InsideFolder(const std::string& folder, const std::string& path);

// True when path, a file in a month folder already found InsideFolder, is
// no link to a file outside folder: the rule of every reader of reports.
bool ReadableInside(const std::string& folder, const std::string& path);

#endif  // QUELLOR_ARCHIVE_ARCHIVE_H_
