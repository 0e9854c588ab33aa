#include "archive/reindex.h"

#include <algorithm>
#include <map>
#include <vector>

#include "archive/archive.h"
#include "output/report_index.h"
#include "output/report_path.h"
#include "output/well_formed_xml.h"
#include "platform/file_system.h"

namespace {

// dir.xml.bak, or the first of dir.xml.bak2, dir.xml.bak3, ... that is free:
// an earlier backup is never replaced.
std::string FreeBackupPath(const std::string& index_path) {
  std::string candidate = index_path + ".bak";
  for (int n = 2; FileExists(candidate); ++n) candidate = index_path + ".bak" + std::to_string(n);
  return candidate;
}

// The report files of month, oldest first, each with a name the index can
// hold; false with the reason when there are none.
bool CollectReports(const MonthFolder& month, std::ostream& out, std::vector<ReportPath>* reports,
                    std::string* error) {
  std::vector<std::string> skipped;
  *reports = ReportFiles(month, ListMonthFiles(month.path).xml, &skipped);
  for (const std::string& file : skipped)
    out << "left out " << file << ": not a report file name\n";
  std::erase_if(*reports, [&](const ReportPath& report) {
    // Control characters or bytes that are not UTF-8 cannot stand in XML.
    const bool storable = IsWellFormedXml(IndexText({IndexEntryOf(report)}));
    if (!storable) out << "left out " << report.Xml() << ": its name cannot stand in dir.xml\n";
    return !storable;
  });
  if (reports->empty()) {
    *error = "no reports in " + month.path + "; nothing changed";
    return false;
  }
  return true;
}

// reports in filing order: those the old index lists in its order, the
// others each put before the first one filed after it.
std::vector<ReportPath> FilingOrder(const std::vector<ReportPath>& reports,
                                    const std::vector<IndexEntry>& old_entries) {
  std::map<std::string, const ReportPath*> unlisted;
  for (const ReportPath& report : reports) unlisted.emplace(IndexEntryOf(report).file, &report);
  std::vector<ReportPath> ordered;
  for (const IndexEntry& entry : old_entries) {
    const auto found = unlisted.find(entry.file);
    if (found == unlisted.end()) continue;
    ordered.push_back(*found->second);
    unlisted.erase(found);
  }
  for (const ReportPath& report : reports) {  // oldest first
    if (!unlisted.contains(IndexEntryOf(report).file)) continue;
    const auto later = std::find_if(ordered.begin(), ordered.end(), [&](const ReportPath& other) {
      return FiledBefore(report, other);
    });
    ordered.insert(later, report);
  }
  return ordered;
}

// Keeps the index at index_path, when there is one, as a backup and
// replaces it with text.
bool ReplaceIndex(const std::string& index_path, const std::string& text, std::ostream& out,
                  std::string* error) {
  std::string old;
  if (FileExists(index_path)) {
    const std::string backup = FreeBackupPath(index_path);
    if (!ReadWholeFile(index_path, &old, error) || !WriteFileReplacing(backup, old, error)) {
      return false;
    }
    out << "old index kept as " << backup << "\n";
  }
  return WriteFileReplacing(index_path, text, error);
}

}  // namespace

bool ReindexMonth(const std::string& month_folder, std::ostream& out, std::string* error) {
  MonthFolder month;
  if (!MonthFolderOf(month_folder, &month)) {
    *error = month_folder + " is not a YEAR/Mon folder of a data folder";
    return false;
  }
  const std::string index_path = JoinPath(month.path, kIndexFileName);
  // A service filing meanwhile waits, then adds its report unless listed.
  const FileLock lock(IndexLockPath(index_path));
  if (!lock.held()) {
    *error = "cannot lock " + IndexLockPath(index_path) + "; nothing changed";
    return false;
  }
  std::vector<ReportPath> reports;
  if (!CollectReports(month, out, &reports, error)) return false;
  std::vector<IndexEntry> old_entries;
  std::string ignored;
  const bool readable = ReadIndex(index_path, &old_entries, &ignored);
  const std::vector<IndexEntry> entries = EntriesOf(FilingOrder(reports, old_entries));
  if (readable && old_entries == entries) {
    out << index_path << " already lists the " << reports.size() << " reports; nothing to do\n";
    return true;
  }
  const std::string text = IndexText(entries);
  if (!IsWellFormedXml(text)) {
    *error = "the rebuilt index would not be well-formed XML; nothing changed";
    return false;
  }
  if (!ReplaceIndex(index_path, text, out, error)) return false;
  out << index_path << " rebuilt with " << reports.size() << " reports\n";
  return true;
}
