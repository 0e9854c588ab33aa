#include "archive/verify.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "archive/archive.h"
#include "output/report_index.h"
#include "output/report_path.h"
#include "output/report_writer.h"
#include "output/well_formed_xml.h"
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

  bool Has(const std::vector<std::string>& sorted, const std::string& name) const {
    return std::binary_search(sorted.begin(), sorted.end(), name);
  }

  // True when file was written so recently that a service may be filing it
  // right now: its partner or its index entry may be on the way.
  bool BeingFiled(const std::string& file) const {
    return SecondsSinceWritten(JoinPath(month_.path, file)) < kActiveTemporarySeconds;
  }

  // The problem unless file is being filed.
  void SettledProblem(const std::string& file, const std::string& what) {
    if (!BeingFiled(file)) Problem(file, what);
  }

  void CheckIndex() {
    if (!files_.has_index) {
      if (std::any_of(files_.xml.begin(), files_.xml.end(),
                      [&](const std::string& file) { return !BeingFiled(file); })) {
        Problem(kIndexFileName, "missing");
      }
      return;
    }
    std::vector<IndexEntry> entries;
    std::string error;
    if (!ReadIndex(JoinPath(month_.path, kIndexFileName), &entries, &error)) {
      Problem(kIndexFileName, error);
      return;
    }
    std::map<std::string, const IndexEntry*> listed;
    std::map<std::string, int> times;
    for (const IndexEntry& entry : entries) {
      listed.emplace(entry.file, &entry);
      ++times[entry.file];
    }
    // The index spells a regional month in UTF-8, the file system in the
    // system's encoding.
    std::set<std::string> present;
    for (const std::string& file : files_.xml) {
      ReportPath path;
      const bool parsed = ParseReportPath(file, month_.year, TextEncoding::kLocal, &path);
      const IndexEntry expected = parsed ? IndexEntryOf(path) : IndexEntry{"", "", file};
      present.insert(expected.file);
      const auto entry = listed.find(expected.file);
      if (entry == listed.end()) {
        SettledProblem(file, "not listed in dir.xml");
      } else if (parsed) {
        CheckEntry(file, *entry->second, expected);
      }
    }
    for (const auto& [file, count] : times) {
      if (count > 1) Problem(file, "listed " + std::to_string(count) + " times in dir.xml");
      if (!present.contains(file)) Problem(file, "listed in dir.xml but missing");
    }
  }

  // An index entry against expected, the one the report's file name makes.
  void CheckEntry(const std::string& file, const IndexEntry& entry, const IndexEntry& expected) {
    if (entry.name != expected.name) {
      Problem(file, "dir.xml names it '" + entry.name + "', its file name '" + expected.name + "'");
    }
    if (entry.timestamp != expected.timestamp) {
      Problem(file, "dir.xml stamps it '" + entry.timestamp + "', its file name says '" +
                        expected.timestamp + "'");
    }
  }

  void CheckPairs() {
    for (const std::string& xml : files_.xml) {
      const std::string htm = xml.substr(0, xml.size() - 4) + ".htm";
      if (!Has(files_.htm, htm)) {
        SettledProblem(xml, "no .htm beside it");
      } else {
        CheckContents(xml, htm);
      }
    }
    for (const std::string& htm : files_.htm) {
      const std::string stem = htm.substr(0, htm.size() - 4);
      if (!Has(files_.xml, stem + ".xml")) SettledProblem(htm, "no .xml beside it");
    }
  }

  // A report's .xml document against the one its .htm page makes.
  void CheckContents(const std::string& xml, const std::string& htm) {
    ReportPath path;
    std::string page, document, expected;
    if (!ParseReportPath(xml, month_.year, TextEncoding::kLocal, &path)) {
      return Problem(xml, "not a report file name");
    }
    if (!ReadWholeFile(JoinPath(month_.path, htm), &page, nullptr) ||
        !ReadWholeFile(JoinPath(month_.path, xml), &document, nullptr)) {
      return Problem(xml, "cannot be read");
    }
    if (!ReportXmlOfPage(path.name, page, &expected)) {
      return Problem(htm, "not a whole report page (cut short or changed)");
    }
    if (document == expected) return;
    if (document.empty()) return Problem(xml, "empty");
    if (!IsWellFormedXml(document)) return Problem(xml, "not well-formed XML");
    Problem(xml, "does not hold the lines of its .htm");
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

bool VerifyArchive(const std::string& data_folder, std::ostream& out, size_t* problems,
                   std::string* error) {
  const std::vector<MonthFolder> months = ListMonths(data_folder);
  if (months.empty()) {
    *error = data_folder + " is not a data folder: it holds no YEAR/Mon folders";
    return false;
  }
  size_t reports = 0;
  *problems = 0;
  for (const MonthFolder& month : months) {
    MonthCheck check(month, out);
    *problems += check.Run();
    reports += check.reports();
  }
  out << months.size() << " month folders, " << reports << " reports: "
      << (*problems == 0 ? "no problems"
                         : std::to_string(*problems) + (*problems == 1 ? " problem" : " problems"))
      << "\n";
  return true;
}
