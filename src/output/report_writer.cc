#include "output/report_writer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "output/filing_steps.h"
#include "output/report_index.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

// Appends escaped to xml with every CR LF made the end of one Line element
// and the start of the next.
void AppendXmlLines(std::string_view escaped, std::string* xml) {
  static constexpr std::string_view kLineBreak = "</Line>\r\n<Line>";
  // memchr rather than std::string::find("\r\n"), which is several times
  // slower on long reports.
  const char* next = escaped.data();
  const char* const end = next + escaped.size();
  while (const char* cr =
             static_cast<const char*>(std::memchr(next, '\r', static_cast<size_t>(end - next)))) {
    if (cr + 1 < end && cr[1] == '\n') {
      xml->append(next, static_cast<size_t>(cr - next)).append(kLineBreak);
      next = cr + 2;
    } else {
      xml->append(next, static_cast<size_t>(cr + 1 - next));
      next = cr + 1;
    }
  }
  xml->append(next, static_cast<size_t>(end - next));
}

constexpr char kHtmlTail[] = "</pre></body></html>\r\n";

std::string HtmlHead(const std::string& report_name) {
  return "<html><head><title>" + report_name + "</title></head><body><pre>";
}

// Writes the HTML page (the escaped text as preformatted text) and the XML
// document (one Line element per line, the first one starting with the line
// break after "<Report><Line>"), each ending in CR LF; the .htm file is in
// place before the .xml file. The text is escaped and written a slice at a
// time, never splitting a CR LF: whole-report copies would cost more time
// than the writing itself on long reports.
bool WriteReportFiles(const std::string& html_path, const std::string& xml_path,
                      const std::string& report_name, const std::string& text,
                      std::string* reason) {
  static constexpr size_t kSliceSize = 64 * 1024;
  ReplacingFile html(html_path);
  ReplacingFile xml(xml_path);
  html.Append(HtmlHead(report_name));
  xml.Append("<?xml version=\"1.0\"?>\r\n<Report><Line>\r\n");
  // A final CR LF closes the last Line element; "</Report>" then stands on a
  // line of its own instead of following the last line.
  const bool final_break = text.ends_with(kCrLf);
  std::string lines;
  for (size_t start = 0, end; start < text.size(); start = end) {
    end = std::min(text.size(), start + kSliceSize);
    if (text[end - 1] == '\r' && end < text.size()) ++end;
    const std::string escaped = EscapeXml(text.substr(start, end - start));
    html.Append(escaped);
    std::string_view body = escaped;
    if (end == text.size() && final_break) body.remove_suffix(2);
    lines.clear();
    AppendXmlLines(body, &lines);
    xml.Append(lines);
  }
  html.Append(kHtmlTail);
  xml.Append(final_break ? "</Line>\r\n</Report>\r\n" : "</Line></Report>\r\n");
  return Committed(&html, html_path, reason) && Committed(&xml, xml_path, reason);
}

// Creates one folder level unless a folder of that path exists.
bool EnsureFolder(const std::string& path, std::string* reason) {
  std::string error;
  if (FolderExists(path) || CreateFolder(path, &error)) return true;
  *reason = "cannot create folder '" + path + "': " + error;
  return false;
}

// Removes the temporary files an earlier run left in folder. They all
// predate this process: one sweep per folder and run finds them.
void SweepOnce(const std::string& folder) {
  static std::string swept;
  if (folder == swept) return;
  RemoveStaleTemporaries(folder);
  swept = folder;
}

// True when the file at path holds exactly content.
bool Holds(const std::string& path, const std::string& content) {
  std::string bytes;
  return ReadWholeFile(path, &bytes, nullptr) && bytes == content;
}

// True when the index at path has an entry for xml_file_name (entries are
// written without indentation inside the File element).
bool IsIndexed(const std::string& index_path, const std::string& xml_file_name) {
  std::string index;
  return ReadWholeFile(index_path, &index, nullptr) &&
         index.find("<File>" + xml_file_name + "</File>") != std::string::npos;
}

// stem, or stem_2, stem_3, ... : the first whose .htm and .xml are both free,
// so that a report never replaces one filed in the same second. When
// own_page is given, a stem whose .htm holds it is this report's own earlier
// filing and is taken as well.
std::string FreeStem(const std::string& folder, const std::string& stem,
                     const std::string* own_page) {
  std::string candidate = stem;
  for (int n = 2; FileExists(JoinPath(folder, candidate + ".htm")) ||
                  FileExists(JoinPath(folder, candidate + ".xml"));
       ++n) {
    if (own_page && Holds(JoinPath(folder, candidate + ".htm"), *own_page)) break;
    candidate = stem + "_" + std::to_string(n);
  }
  return candidate;
}

// Writes the .htm then the .xml file and indexes the report, all named and
// stamped with t. When resuming, the files and the index entry of an earlier
// filing at t of the same text are kept and only what it lacks is written.
bool FileReport(const std::string& data_folder, const std::string& report_name,
                const std::string& report_text, const LocalTime& t, bool resume,
                std::string* reason) {
  const std::string year_folder = JoinPath(data_folder, std::to_string(t.year));
  const std::string month_folder = JoinPath(year_folder, MonthNames().at(t.month - 1));
  if (!EnsureFolder(year_folder, reason) || !EnsureFolder(month_folder, reason)) return false;
  SweepOnce(month_folder);
  std::string own_page;
  if (resume) own_page = HtmlHead(report_name) + EscapeXml(report_text) + kHtmlTail;
  const std::string name_and_time = report_name + "_" + FormatFileTime(t);
  const std::string stem = FreeStem(month_folder, name_and_time, resume ? &own_page : nullptr);
  const std::string xml_path = JoinPath(month_folder, stem + ".xml");
  if (!FileExists(xml_path) && !WriteReportFiles(JoinPath(month_folder, stem + ".htm"), xml_path,
                                                 report_name, report_text, reason)) {
    return false;
  }
  const std::string clash_suffix = stem.substr(name_and_time.size());
  const IndexEntry entry = IndexEntryOf(report_name, t, clash_suffix);
  const IndexEntry single_byte = IndexEntryOf(report_name, t, clash_suffix, TextEncoding::kLocal);
  const std::string index_path = JoinPath(month_folder, "dir.xml");
  if (!resume || !(IsIndexed(index_path, entry.file) || IsIndexed(index_path, single_byte.file))) {
    UpdateReportIndex(index_path, entry.name, entry.timestamp, entry.file, &single_byte);
  }
  return true;
}

bool FileReportLogged(const std::string& data_folder, const std::string& report_name,
                      const std::string& report_text, const LocalTime& t, bool resume) {
  return LogFailure("Report '" + report_name + "' not stored: ", [&](std::string* reason) {
    return FileReport(data_folder, report_name, report_text, t, resume, reason);
  });
}

}  // namespace

void WriteReport(const std::string& data_folder, const std::string& report_name,
                 const std::string& report_text, const Clock& clock) {
  WriteReportAt(data_folder, report_name, report_text, clock.Now());
}

bool WriteReportAt(const std::string& data_folder, const std::string& report_name,
                   const std::string& report_text, const LocalTime& t) {
  return FileReportLogged(data_folder, report_name, report_text, t, false);
}

bool CompleteReportAt(const std::string& data_folder, const std::string& report_name,
                      const std::string& report_text, const LocalTime& t, std::string* reason) {
  if (reason == nullptr) return FileReportLogged(data_folder, report_name, report_text, t, true);
  return RunStep(
      [&](std::string* why) {
        return FileReport(data_folder, report_name, report_text, t, true, why);
      },
      reason);
}
