#ifndef QUELLOR_OUTPUT_REPORT_INDEX_H_
#define QUELLOR_OUTPUT_REPORT_INDEX_H_

#include <string>
#include <vector>

#include "output/report_path.h"

// A month's index of reports, dir.xml: one Report entry (Name, Timestamp,
// File) per filed report, appended in filing order.

// One entry of a month's index: the report name, its time stamp
// ("dd mmm yyyy  hh:nn:ss") and its .xml file name without folder.
struct IndexEntry {
  std::string name;
  std::string timestamp;
  std::string file;

  bool operator==(const IndexEntry&) const = default;
};

// Creates index_path with its first entry, or appends a Report entry to the
// index there unless it lists that file already. An index that cannot be
// loaded is left untouched. Waits for the index lock and holds it
// throughout. Never throws; a failure is logged. An index that is not UTF-8
// was written in the system's single-byte code page: it gets the entry in
// that form, single_byte (when given), so that no index ends in two
// encodings.
void UpdateReportIndex(const std::string& index_path, const std::string& report_name,
                       const std::string& timestamp, const std::string& xml_file_name,
                       const IndexEntry* single_byte = nullptr);

// The lock file beside the index at index_path: whoever reads, changes and
// replaces that index holds a FileLock on it meanwhile.
std::string IndexLockPath(const std::string& index_path);

// The entry of the report whose files are named path (its month spelt in the
// system's encoding): time stamp and file name in UTF-8, as the index holds
// them whatever the system's encoding (or in the system's own, for an index
// written in it).
IndexEntry IndexEntryOf(const ReportPath& path, TextEncoding encoding = TextEncoding::kUtf8);

// The entries of the index at path, as UpdateReportIndex reads it. False with
// the reason when it cannot be read or is not well-formed XML.
bool ReadIndex(const std::string& path, std::vector<IndexEntry>* entries, std::string* error);

// The bytes of the index that UpdateReportIndex leaves after filing entries
// one by one, in this order, into a month without an index. "" when there are
// no entries.
std::string IndexText(const std::vector<IndexEntry>& entries);

#endif  // QUELLOR_OUTPUT_REPORT_INDEX_H_
