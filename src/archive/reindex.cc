#include "archive/reindex.h"

#include <vector>

#include "archive/archive.h"
#include "output/report_index.h"
#include "platform/file_system.h"

namespace {

// dir.xml.bak, or the first of dir.xml.bak2, dir.xml.bak3, ... that is free:
// an earlier backup is never replaced.
std::string FreeBackupPath(const std::string& index_path) {
  std::string candidate = index_path + ".bak";
  for (int n = 2; FileExists(candidate); ++n) candidate = index_path + ".bak" + std::to_string(n);
  return candidate;
}

// The report files of month, oldest first; false with the reason when the
// folder must not or need not be reindexed.
bool CollectReports(const MonthFolder& month, std::ostream& out, std::vector<ReportPath>* reports,
                    std::string* error) {
  const MonthFiles files = ListMonthFiles(month.path);
  const std::string active = ActiveTemporaryFile(month.path, files);
  if (!active.empty()) {
    *error = "a service is writing in " + month.path + " (" + active +
             "); nothing changed, try again later";
    return false;
  }
  std::vector<std::string> skipped;
  *reports = ReportFiles(month, files.xml, &skipped);
  for (const std::string& file : skipped)
    out << "left out " << file << ": not a report file name\n";
  if (reports->empty()) {
    *error = "no reports in " + month.path + "; nothing changed";
    return false;
  }
  return true;
}

// Keeps old (the bytes of index_path) as a backup, then replaces the index
// with text unless it changed meanwhile.
bool ReplaceIndex(const std::string& index_path, const std::string& old, const std::string& text,
                  std::ostream& out, std::string* error) {
  const std::string backup = FreeBackupPath(index_path);
  std::string now;
  if (!WriteFileReplacing(backup, old, error) || !ReadWholeFile(index_path, &now, error)) {
    return false;
  }
  if (now != old) {
    *error = index_path + " changed meanwhile (a service is writing there); it was left as it is";
    return false;
  }
  out << "old index kept as " << backup << "\n";
  return WriteFileReplacing(index_path, text, error);
}

}  // namespace

bool ReindexMonth(const std::string& month_folder, std::ostream& out, std::string* error) {
  MonthFolder month;
  if (!MonthFolderOf(month_folder, &month)) {
    *error = month_folder + " is not a YEAR/Mon folder of a data folder";
    return false;
  }
  std::vector<ReportPath> reports;
  if (!CollectReports(month, out, &reports, error)) return false;
  const std::string text = IndexText(EntriesOf(reports));
  const std::string index_path = JoinPath(month.path, kIndexFileName);
  if (FileExists(index_path)) {
    std::string old;
    if (!ReadWholeFile(index_path, &old, error)) return false;
    if (old == text) {
      out << index_path << " already lists the " << reports.size() << " reports; nothing changed\n";
      return true;
    }
    if (!ReplaceIndex(index_path, old, text, out, error)) return false;
  } else if (!WriteFileReplacing(index_path, text, error)) {
    return false;
  }
  out << index_path << " rebuilt with " << reports.size() << " reports\n";
  return true;
}
