#include "archive/archive_pages.h"

#include <cctype>
#include <set>

#include "output/report_path.h"
#include "output/text_helpers.h"

namespace {

constexpr char kStyle[] =
    "body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}"
    "td,th{padding:2px 10px;text-align:left;border-bottom:1px solid #ddd;white-space:pre}"
    "pre{margin:0}.notice{background:#fee;padding:6px;border:1px solid #c66}";

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
         "</title><style>" + kStyle + "</style></head><body>\n<p><a href=\"/\">Archive</a> | " +
         "<a href=\"/search\">Search</a></p>\n<h1>" + HtmlEscape(title) + "</h1>\n" + body +
         "</body></html>\n";
}

std::string Link(const std::string& href, const std::string& text) {
  return "<a href=\"" + HtmlEscape(href) + "\">" + HtmlEscape(text) + "</a>";
}

// The query string value form of text: letters, digits and "-_." as they
// are, everything else percent-encoded.
std::string UrlEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

// The link to the page of the report whose .xml file (as the index spells it)
// is xml_file in month; the bare name when it is no report file's.
std::string ReportLink(const MonthFolder& month, const std::string& xml_file) {
  ReportPath path;
  if (!ParseReportPath(xml_file, month.year, TextEncoding::kUtf8, &path)) {
    return HtmlEscape(xml_file);
  }
  return Link("/" + month.relative + "/" + path.Htm(), xml_file);
}

std::string JournalLinks(const MonthFolder& month, const std::vector<IndexEntry>& entries) {
  std::set<std::string> journals;
  for (const IndexEntry& entry : entries) journals.insert(entry.name);
  std::string links = "<p>Journal: " + Link("/" + month.relative + "/", "all");
  for (const std::string& journal : journals) {
    links += " | " + Link("/" + month.relative + "/?journal=" + UrlEncode(journal), journal);
  }
  return links + "</p>\n";
}

std::string Input(const std::string& label, const std::string& name, const std::string& value,
                  const std::string& type = "text") {
  return "<label>" + label + " <input type=\"" + type + "\" name=\"" + name + "\" value=\"" +
         HtmlEscape(value) + "\"></label>\n";
}

std::string SearchFormHtml(const SearchForm& form) {
  return "<form action=\"/search\" method=\"get\">\n" + Input("Text", "q", form.query.text) +
         Input("From", "from", form.from, "date") + Input("To", "to", form.to, "date") +
         Input("Journal", "journal", form.query.journal) +
         "<label><input type=\"checkbox\" name=\"regex\" value=\"1\"" +
         (form.query.regex ? " checked" : "") +
         "> regular expression</label>\n<button type=\"submit\">Search</button></form>\n";
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  const std::string escaped = EscapeXml(std::string(text));
  std::string out;
  out.reserve(escaped.size());
  for (char c : escaped) {
    if (c == '"') {
      out += "&quot;";
    } else if (c == '\'') {
      out += "&#39;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string HomePage(const std::vector<MonthFolder>& months) {
  std::string body;
  int year = 0;
  for (const MonthFolder& month : months) {
    if (month.year != year) {
      body += (year != 0 ? "</p>\n" : "") + std::string("<h2>") + std::to_string(month.year) +
              "</h2>\n<p>";
      year = month.year;
    }
    body += Link("/" + month.relative + "/", MonthFolderName(month.month)) + " ";
  }
  if (year == 0) return Page("Archive", "<p>No reports.</p>\n");
  return Page("Archive", body + "</p>\n");
}

std::string MonthPage(const MonthFolder& month, const std::vector<IndexEntry>& entries,
                      const std::string& notice, const std::string& journal) {
  std::string body;
  if (!notice.empty()) body += "<p class=\"notice\">" + HtmlEscape(notice) + "</p>\n";
  body += JournalLinks(month, entries);
  body += "<table>\n<tr><th>Time</th><th>Journal</th><th>File</th></tr>\n";
  for (const IndexEntry& entry : entries) {
    if (!journal.empty() && entry.name != journal) continue;
    body += "<tr><td>" + HtmlEscape(entry.timestamp) + "</td><td>" + HtmlEscape(entry.name) +
            "</td><td>" + ReportLink(month, entry.file) + "</td></tr>\n";
  }
  return Page(month.relative, body + "</table>\n");
}

std::string SearchPage(const SearchForm& form, const std::vector<SearchHit>& hits,
                       const std::string& error, bool more) {
  std::string body = SearchFormHtml(form);
  if (!error.empty())
    return Page("Search", body + "<p class=\"notice\">" + HtmlEscape(error) + "</p>\n");
  if (!form.searched) return Page("Search", body);
  body += "<p>" + std::to_string(hits.size()) + (more ? "+" : "") + " lines found.</p>\n<table>\n";
  for (const SearchHit& hit : hits) {
    const size_t slash = hit.file.rfind('/');
    MonthFolder month;
    MonthFolderOf(hit.file.substr(0, slash), &month);
    month.relative = hit.file.substr(0, slash);  // the central view's plant kept
    body += "<tr><td>" + HtmlEscape(hit.timestamp) + "</td><td>" +
            ReportLink(month, hit.file.substr(slash + 1)) + "</td><td><pre>" +
            HtmlEscape(hit.line) + "</pre></td></tr>\n";
  }
  return Page("Search", body + "</table>\n");
}

std::string PlantsPage(const std::vector<std::string>& plants) {
  std::string body = "<p>";
  for (const std::string& plant : plants) body += Link("/" + plant + "/", plant) + " ";
  return Page("Plants", plants.empty() ? "<p>No reports.</p>\n" : body + "</p>\n");
}

std::string PrintOutPage(const std::string& title, const std::string& text) {
  return Page(title, "<pre>" + HtmlEscape(text) + "</pre>\n");
}
