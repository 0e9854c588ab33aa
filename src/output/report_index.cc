#include "output/report_index.h"

#include <pugixml.hpp>
#include <string>
#include <utility>

#include "output/filing_steps.h"
#include "output/report_path.h"
#include "output/text_helpers.h"
#include "output/well_formed_xml.h"
#include "platform/file_system.h"

namespace {

// Should the library have to write a loaded index again as a whole, it
// writes it as it was read: white-space text and the bytes of CR LF kept (no
// end-of-line conversion), comments and processing instructions kept, no
// re-encoding.
constexpr unsigned kIndexParseOptions =
    (pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_comments |
     pugi::parse_pi | pugi::parse_ws_pcdata) &
    ~pugi::parse_eol;

// Writes data as the whole file at path, in place at once.
bool WriteFile(const std::string& path, const std::string& data, std::string* reason) {
  ReplacingFile file(path);
  file.Append(data);
  return Committed(&file, path, reason);
}

// The text of an index created by its month's first report.
std::string NewIndexText(const IndexEntry& entry) {
  return "<?xml version=\"1.0\"?>\r\n<Reports>\r\n<Report>\r\n<Name>" + EscapeXml(entry.name) +
         "</Name>\r\n<Timestamp>" + EscapeXml(entry.timestamp) + "</Timestamp>\r\n<File>" +
         EscapeXml(entry.file) + "</File>\r\n</Report>\r\n</Reports>\r\n\r\n";
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

// Reads the index at path into *loaded and *document; false with the reason
// when it cannot be read or is not well-formed XML.
bool LoadIndex(const std::string& path, std::string* loaded, pugi::xml_document* document,
               std::string* reason) {
  std::string error;
  if (!ReadWholeFile(path, loaded, &error)) {
    *reason = "cannot read '" + path + "': " + error;
    return false;
  }
  // The DOM library takes documents that are not well-formed (and stops at
  // a NUL byte): what it would write back could lose entries.
  const SavedIndexCopy& last = LastSaved();
  if ((path != last.path || *loaded != last.text) && !IsWellFormedXml(*loaded)) {
    *reason = "'" + path + "' is not well-formed XML";
    return false;
  }
  pugi::xml_parse_result result = document->load_buffer(loaded->data(), loaded->size(),
                                                        kIndexParseOptions, pugi::encoding_utf8);
  if (!result) {
    *reason = "'" + path + "' cannot be loaded: " + result.description() + " at offset " +
              std::to_string(result.offset);
    return false;
  }
  return true;
}

// Loads the index at path, appends the entry and writes it back. An index
// that cannot be read or parsed is left as it is.
bool AppendToIndex(const std::string& path, const IndexEntry& entry, std::string* reason) {
  std::string loaded;
  pugi::xml_document document;
  if (!LoadIndex(path, &loaded, &document, reason)) return false;
  pugi::xml_node appended = AppendEntry(document.document_element(), entry);
  std::string saved = SavedIndex(loaded, document, appended);
  if (!WriteFile(path, saved, reason)) return false;
  LastSaved() = {path, std::move(saved)};
  return true;
}

}  // namespace

void UpdateReportIndex(const std::string& index_path, const std::string& report_name,
                       const std::string& timestamp, const std::string& xml_file_name) {
  LogFailure("Report '" + report_name + "' (" + xml_file_name + ") not indexed: ",
             [&](std::string* reason) {
               const IndexEntry entry{report_name, timestamp, xml_file_name};
               if (FileExists(index_path)) return AppendToIndex(index_path, entry, reason);
               return WriteFile(index_path, NewIndexText(entry), reason);
             });
}

IndexEntry IndexEntryOf(const ReportPath& path) {
  // The index is UTF-8 whatever the system's encoding: the regional month in
  // its time stamp and file name is written in that form.
  return {path.name, FormatTimestamp(path.time, TextEncoding::kUtf8),
          Respelt(path, TextEncoding::kLocal, TextEncoding::kUtf8).Xml()};
}

bool ReadIndex(const std::string& path, std::vector<IndexEntry>* entries, std::string* error) {
  std::string loaded;
  pugi::xml_document document;
  if (!LoadIndex(path, &loaded, &document, error)) return false;
  entries->clear();
  for (pugi::xml_node report : document.document_element().children("Report")) {
    entries->push_back(
        {report.child_value("Name"), report.child_value("Timestamp"), report.child_value("File")});
  }
  return true;
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
