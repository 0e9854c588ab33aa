#ifndef QUELLOR_OUTPUT_REPORT_INDEX_H_
#define QUELLOR_OUTPUT_REPORT_INDEX_H_

#include <string>
#include <vector>

#include "output/report_path.h"

// A month's index of reports, dir.xml: one Report entry (Name, Timestamp,
// File) per filed report, appended in filing order.

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

// The entry of the report whose files are named path (its month spelt in the
// system's encoding): time stamp and file name in UTF-8, as the index holds
// them whatever the system's encoding.
IndexEntry IndexEntryOf(const ReportPath& path);

// The entries of the index at path, as UpdateReportIndex reads it. False with
// the reason when it cannot be read or is not well-formed XML.
bool ReadIndex(const std::string& path, std::vector<IndexEntry>* entries, std::string* error);

// The bytes of the index that UpdateReportIndex leaves after filing entries
// one by one, in this order, into a month without an index. "" when there are
// no entries.
std::string IndexText(const std::vector<IndexEntry>& entries);

#endif  // QUELLOR_OUTPUT_REPORT_INDEX_H_
