#include "archive/verify.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "archive/archive.h"
#include "platform/file_system.h"

namespace {

// Writes the problems of one month folder and counts them.
class MonthCheck {
 public:
  MonthCheck(const MonthFolder& month, std::ostream& out)
      : month_(month), files_(ListMonthFiles(month.path)), out_(out) {}

  size_t Run() {
    CheckIndex();
    CheckPairs();
    CheckTemporaryFiles();
    return problems_;
  }
  size_t reports() const { return files_.xml.size(); }

 private:
  void Problem(const std::string& file, const std::string& what) {
    out_ << month_.relative << "/" << file << ": " << what << "\n";
    ++problems_;
  }

  // The name of a month's .xml file as the index spells it.
  std::string IndexSpelling(const std::string& file) const {
    ReportPath path;
    if (!ParseReportPath(file, month_.year, TextEncoding::kLocal, &path)) return file;
    return IndexEntryOf(path).file;
  }

  bool Has(const std::vector<std::string>& sorted, const std::string& name) const {
    return std::binary_search(sorted.begin(), sorted.end(), name);
  }

  void CheckIndex() {
    if (!files_.has_index) {
      if (!files_.xml.empty()) Problem(kIndexFileName, "missing");
      return;
    }
    std::vector<IndexEntry> entries;
    std::string error;
    if (!ReadIndex(JoinPath(month_.path, kIndexFileName), &entries, &error)) {
      Problem(kIndexFileName, error);
      return;
    }
    std::map<std::string, int> listed;
    for (const IndexEntry& entry : entries) ++listed[entry.file];
    // The index spells a regional month in UTF-8, the file system in the
    // system's encoding.
    std::set<std::string> present;
    for (const std::string& file : files_.xml) {
      const std::string indexed = IndexSpelling(file);
      present.insert(indexed);
      if (!listed.contains(indexed)) Problem(file, "not listed in dir.xml");
    }
    for (const auto& [file, times] : listed) {
      if (times > 1) Problem(file, "listed " + std::to_string(times) + " times in dir.xml");
      if (!present.contains(file)) Problem(file, "listed in dir.xml but missing");
    }
  }

  void CheckPairs() {
    for (const std::string& xml : files_.xml) {
      const std::string stem = xml.substr(0, xml.size() - 4);
      if (!Has(files_.htm, stem + ".htm")) Problem(xml, "no .htm beside it");
    }
    for (const std::string& htm : files_.htm) {
      const std::string stem = htm.substr(0, htm.size() - 4);
      if (!Has(files_.xml, stem + ".xml")) Problem(htm, "no .xml beside it");
    }
  }

  void CheckTemporaryFiles() {
    for (const std::string& name : files_.temporary) {
      if (SecondsSinceWritten(JoinPath(month_.path, name)) >= kActiveTemporarySeconds) {
        Problem(name, "stale temporary file");
      }
    }
  }

  const MonthFolder& month_;
  const MonthFiles files_;
  std::ostream& out_;
  size_t problems_ = 0;
};

}  // namespace

size_t VerifyArchive(const std::string& data_folder, std::ostream& out) {
  size_t problems = 0, reports = 0;
  const std::vector<MonthFolder> months = ListMonths(data_folder);
  for (const MonthFolder& month : months) {
    MonthCheck check(month, out);
    problems += check.Run();
    reports += check.reports();
  }
  out << months.size() << " month folders, " << reports << " reports: "
      << (problems == 0 ? "no problems"
                        : std::to_string(problems) + (problems == 1 ? " problem" : " problems"))
      << "\n";
  return problems;
}
