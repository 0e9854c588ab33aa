#ifndef QUELLOR_OUTPUT_REPORT_WRITER_H_
#define QUELLOR_OUTPUT_REPORT_WRITER_H_

#include <string>
#include <vector>

#include "platform/clock.h"

// Files a report as data_folder/YEAR/Mon/Name_ddMonyy_hhnnss.htm and .xml and
// records it in that month's dir.xml. report_name is made of ASCII letters,
// digits and "_"; report_text has CR LF line ends. Never throws: a report
// that cannot be stored leaves one log line naming it and the reason. A name
// already taken in the same second gets "_2", "_3", ... before the extension.
void WriteReport(const std::string& data_folder, const std::string& report_name,
                 const std::string& report_text, const Clock& clock = SystemClock());

// WriteReport with the instant t for the folders, names and index entry.
// True when the report's files were written (an index failure aside).
bool WriteReportAt(const std::string& data_folder, const std::string& report_name,
                   const std::string& report_text, const LocalTime& t);

// WriteReportAt for a report that a process which ended part way may have
// begun to file at t: a name of t whose .htm holds this very report is its
// earlier filing, which gets only what it lacks (the .xml file, the index
// entry); no second copy is made. Temporary files left in the month folder
// are removed. True when the report's files are in place.
bool CompleteReportAt(const std::string& data_folder, const std::string& report_name,
                      const std::string& report_text, const LocalTime& t);

// Creates index_path with its first entry, or appends a Report entry to the
// index there. An index that cannot be loaded is left untouched. Never
// throws; a failure is logged.
void UpdateReportIndex(const std::string& index_path, const std::string& report_name,
                       const std::string& timestamp, const std::string& xml_file_name);

// One entry of a month's index: the report name, its time stamp
// ("dd mmm yyyy  hh:nn:ss") and its .xml file name without folder.
struct IndexEntry {
  std::string name;
  std::string timestamp;
  std::string file;
};

// The entry of a report filed at t as report_name_ddmmmyy_hhnnss +
// clash_suffix ("" or "_N") + ".xml": time stamp and file name in UTF-8, as
// the index holds them whatever the system's encoding.
IndexEntry IndexEntryOf(const std::string& report_name, const LocalTime& t,
                        const std::string& clash_suffix);

// The bytes of the index that UpdateReportIndex leaves after filing entries
// one by one, in this order, into a month without an index. "" when there are
// no entries.
std::string IndexText(const std::vector<IndexEntry>& entries);

#endif  // QUELLOR_OUTPUT_REPORT_WRITER_H_
