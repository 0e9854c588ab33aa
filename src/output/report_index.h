#ifndef QUELLOR_OUTPUT_REPORT_INDEX_H_
#define QUELLOR_OUTPUT_REPORT_INDEX_H_

#include <string>
#include <vector>

#include "output/text_helpers.h"
#include "platform/clock.h"

// A month's index of reports, dir.xml: one Report entry (Name, Timestamp,
// File) per filed report, appended in filing order.

// One entry of a month's index: the report name, its time stamp
// ("dd mmm yyyy  hh:nn:ss") and its .xml file name without folder.
struct IndexEntry {
  std::string name;
  std::string timestamp;
  std::string file;
};

// Creates index_path with its first entry, or appends a Report entry to the
// index there. An index that cannot be loaded is left untouched. Never
// throws; a failure is logged. An index that is not UTF-8 was written in
// the system's single-byte code page: it gets the entry in that form,
// single_byte (when given), so that no index ends in two encodings.
void UpdateReportIndex(const std::string& index_path, const std::string& report_name,
                       const std::string& timestamp, const std::string& xml_file_name,
                       const IndexEntry* single_byte = nullptr);

// The entry of a report filed at t as report_name_ddmmmyy_hhnnss +
// clash_suffix ("" or "_N") + ".xml": time stamp and file name in UTF-8, as
// the index holds them whatever the system's encoding (or in the system's
// own, for an index written in it).
IndexEntry IndexEntryOf(const std::string& report_name, const LocalTime& t,
                        const std::string& clash_suffix,
                        TextEncoding encoding = TextEncoding::kUtf8);

// The bytes of the index that UpdateReportIndex leaves after filing entries
// one by one, in this order, into a month without an index. "" when there are
// no entries.
std::string IndexText(const std::vector<IndexEntry>& entries);

#endif  // QUELLOR_OUTPUT_REPORT_INDEX_H_
