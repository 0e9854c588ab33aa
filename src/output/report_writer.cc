#include "output/report_writer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>

#include "output/service_log.h"
#include "output/text_helpers.h"
#include "output/well_formed_xml.h"
#include "platform/file_system.h"

namespace {

constexpr char kCrLf[] = "\r\n";

// Should the library have to write a loaded index again as a whole, it
// writes it as it was read: white-space text and the bytes of CR LF kept (no
// end-of-line conversion), comments and processing instructions kept, no
// re-encoding.
constexpr unsigned kIndexParseOptions =
    (pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_comments |
     pugi::parse_pi | pugi::parse_ws_pcdata) &
    ~pugi::parse_eol;

// Runs step, which returns false with a reason when it fails. A failure,
// returned or raised, becomes one log line: prefix followed by the reason.
template <typename Step>
bool LogFailure(const std::string& prefix, Step step) {
  std::string reason;
  try {
    if (step(&reason)) return true;
  } catch (const std::exception& e) {
    reason = e.what();
  }
  WriteLog(prefix + reason);
  return false;
}

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

// Commits file, or gives the reason why it cannot be.
bool Committed(ReplacingFile* file, const std::string& path, std::string* reason) {
  std::string error;
  if (file->Commit(&error)) return true;
  *reason = "cannot write '" + path + "': " + error;
  return false;
}

bool WriteFile(const std::string& path, const std::string& data, std::string* reason) {
  ReplacingFile file(path);
  file.Append(data);
  return Committed(&file, path, reason);
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

// The text of an index created by its month's first report.
std::string NewIndexText(const IndexEntry& entry) {
  return "<?xml version=\"1.0\"?>\r\n<Reports>\r\n<Report>\r\n<Name>" + entry.name +
         "</Name>\r\n<Timestamp>" + entry.timestamp + "</Timestamp>\r\n<File>" + entry.file +
         "</File>\r\n</Report>\r\n</Reports>\r\n\r\n";
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
  const IndexEntry entry = IndexEntryOf(report_name, t, stem.substr(name_and_time.size()));
  const std::string index_path = JoinPath(month_folder, "dir.xml");
  if (!resume || !IsIndexed(index_path, entry.file)) {
    UpdateReportIndex(index_path, entry.name, entry.timestamp, entry.file);
  }
  return true;
}

bool FileReportLogged(const std::string& data_folder, const std::string& report_name,
                      const std::string& report_text, const LocalTime& t, bool resume) {
  return LogFailure("Report '" + report_name + "' not stored: ", [&](std::string* reason) {
    return FileReport(data_folder, report_name, report_text, t, resume, reason);
  });
}

// Collects what pugixml writes.
class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string* out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_->append(static_cast<const char*>(data), size);
  }

 private:
  std::string* out_;
};

// The whole document as raw markup, each top-level node (declaration,
// document element, ...) on a line of its own.
std::string SerializeIndex(const pugi::xml_document& document, size_t size_hint) {
  std::string out;
  out.reserve(size_hint);
  StringWriter writer(&out);
  for (pugi::xml_node node : document.children()) {
    node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    out += kCrLf;
  }
  return out;
}

// Where the end tag of root starts in loaded, when only white space follows
// it; npos when it cannot be told (root is empty-element "<x/>", or other
// nodes or stray text follow it).
size_t EndTagOffset(const std::string& loaded, pugi::xml_node root) {
  static constexpr char kWhiteSpace[] = " \t\r\n";
  constexpr size_t npos = std::string::npos;
  if (root.next_sibling()) return npos;
  const std::string end_tag = "</" + std::string(root.name());
  const size_t at = loaded.rfind("</");
  if (at == npos || loaded.compare(at, end_tag.size(), end_tag) != 0) return npos;
  const size_t close = loaded.find_first_not_of(kWhiteSpace, at + end_tag.size());
  if (close == npos || loaded[close] != '>') return npos;
  return loaded.find_first_not_of(kWhiteSpace, close + 1) == npos ? at : npos;
}

// The index after entry was appended to the document element of document,
// which was loaded from loaded. The loaded bytes are kept as they are and
// the entry is put in front of the end tag: this costs a copy instead of a
// walk over every node of a large index. Where the end tag cannot be told,
// the library writes the whole document.
std::string SavedIndex(const std::string& loaded, const pugi::xml_document& document,
                       pugi::xml_node entry) {
  const size_t end_tag = EndTagOffset(loaded, document.document_element());
  if (end_tag == std::string::npos) return SerializeIndex(document, loaded.size() + 256);
  std::string out;
  out.reserve(loaded.size() + 256);
  out.append(loaded, 0, end_tag);
  StringWriter writer(&out);
  entry.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  out.append(loaded, end_tag);
  return out;
}

// Appends a Report element to reports as its last child, each field on a
// line of its own indented by a TAB, and returns it.
pugi::xml_node AppendEntry(pugi::xml_node reports, const IndexEntry& entry) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"Name", &entry.name}, {"Timestamp", &entry.timestamp}, {"File", &entry.file}};
  pugi::xml_node report = reports.append_child("Report");
  for (const auto& [tag, value] : fields) {
    report.append_child(pugi::node_pcdata).set_value("\r\n\t");
    report.append_child(tag).text().set(value->c_str());
  }
  report.append_child(pugi::node_pcdata).set_value(kCrLf);
  return report;
}

// The index this writer saved last. It is well-formed (a checked index with
// one more entry), so finding it unchanged spares the next update the check,
// which at 10,000 entries costs more than all the rest of the update.
struct SavedIndexCopy {
  std::string path;
  std::string text;
};

SavedIndexCopy& LastSaved() {
  static SavedIndexCopy last;
  return last;
}

// Loads the index at path, appends the entry and writes it back. An index
// that cannot be read or parsed is left as it is.
bool AppendToIndex(const std::string& path, const IndexEntry& entry, std::string* reason) {
  std::string loaded, error;
  if (!ReadWholeFile(path, &loaded, &error)) {
    *reason = "cannot read '" + path + "': " + error;
    return false;
  }
  // The DOM library takes documents that are not well-formed (and stops at
  // a NUL byte): what it would write back could lose entries.
  SavedIndexCopy& last = LastSaved();
  if ((path != last.path || loaded != last.text) && !IsWellFormedXml(loaded)) {
    *reason = "'" + path + "' is not well-formed XML";
    return false;
  }
  pugi::xml_document document;
  pugi::xml_parse_result result =
      document.load_buffer(loaded.data(), loaded.size(), kIndexParseOptions, pugi::encoding_utf8);
  if (!result) {
    *reason = "'" + path + "' cannot be loaded: " + result.description() + " at offset " +
              std::to_string(result.offset);
    return false;
  }
  pugi::xml_node appended = AppendEntry(document.document_element(), entry);
  std::string saved = SavedIndex(loaded, document, appended);
  if (!WriteFile(path, saved, reason)) return false;
  last = {path, std::move(saved)};
  return true;
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
                      const std::string& report_text, const LocalTime& t) {
  return FileReportLogged(data_folder, report_name, report_text, t, true);
}

void UpdateReportIndex(const std::string& index_path, const std::string& report_name,
                       const std::string& timestamp, const std::string& xml_file_name) {
  LogFailure("Report '" + report_name + "' (" + xml_file_name + ") not indexed: ",
             [&](std::string* reason) {
               const IndexEntry entry{report_name, timestamp, xml_file_name};
               if (FileExists(index_path)) return AppendToIndex(index_path, entry, reason);
               return WriteFile(index_path, NewIndexText(entry), reason);
             });
}

IndexEntry IndexEntryOf(const std::string& report_name, const LocalTime& t,
                        const std::string& clash_suffix) {
  // The index is UTF-8 whatever the system's encoding: the regional month in
  // its time stamp and file name is written in that form.
  return {report_name, FormatTimestamp(t, TextEncoding::kUtf8),
          report_name + "_" + FormatFileTime(t, TextEncoding::kUtf8) + clash_suffix + ".xml"};
}

std::string IndexText(const std::vector<IndexEntry>& entries) {
  if (entries.empty()) return "";
  std::string text = NewIndexText(entries.front());
  // Later entries are appended as UpdateReportIndex appends them: each
  // printed raw in front of the document element's end tag.
  pugi::xml_document scratch;
  pugi::xml_node reports = scratch.append_child("Reports");
  std::string appended;
  StringWriter writer(&appended);
  for (size_t i = 1; i < entries.size(); ++i) {
    AppendEntry(reports, entries[i]).print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    reports.remove_children();
  }
  text.insert(text.rfind("</Reports>"), appended);
  return text;
}
