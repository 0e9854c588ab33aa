#ifndef QUELLOR_ARCHIVE_ARCHIVE_H_
#define QUELLOR_ARCHIVE_ARCHIVE_H_

#include <string>
#include <vector>

#include "output/report_index.h"
#include "output/report_path.h"

// What the archive tools read from a data folder: its YEAR/Mon folders, the
// report files in them and their indexes. Nothing here writes.

// A file younger than this many seconds is taken as one a service is
// filing right now; an older temporary file is a leftover.
constexpr double kActiveTemporarySeconds = 10;

// One YEAR/Mon folder of a data folder.
struct MonthFolder {
  int year = 0;
  int month = 1;         // 1 = January
  std::string path;      // the folder in the platform's spelling
  std::string relative;  // "2005/Jan"
};

// A month folder's path within the data folder, "2005/Jan".
std::string RelativeMonth(int year, int month);

// The YEAR/Mon folders of data_folder (four-digit years, month folder
// names), newest first.
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

// The report files of month among xml_files, oldest first; names that are
// not report file names go to *skipped when it is not null.
std::vector<ReportPath> ReportFiles(const MonthFolder& month,
                                    const std::vector<std::string>& xml_files,
                                    std::vector<std::string>* skipped);

// The index entries the service would have written for reports, in order.
std::vector<IndexEntry> EntriesOf(const std::vector<ReportPath>& reports);

// True when path, with every symbolic link followed, lies inside folder.
bool InsideFolder(const std::string& folder, const std::string& path);

// True when path, a file in a month folder already found InsideFolder, is
// no link to a file outside folder: the rule of every reader of reports.
bool ReadableInside(const std::string& folder, const std::string& path);

#endif  // QUELLOR_ARCHIVE_ARCHIVE_H_
