#include "archive/archive_pages.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <tuple>

#include "output/text_helpers.h"

namespace {

constexpr char kStyle[] =
    "body{font-family:sans-serif;margin:0 auto;padding:0 12px;max-width:1100px}"
    "nav{padding:8px 0;border-bottom:1px solid #ccc}nav a{margin-right:12px}"
    "h1{font-size:1.4em}table{border-collapse:collapse}"
    "td,th{padding:3px 8px;text-align:left;border-bottom:1px solid #ddd;vertical-align:top}"
    ".scroll{overflow-x:auto}pre{margin:0;font-size:13px}"
    ".notice{background:#fee;padding:6px;border:1px solid #c66}mark{background:#fd4}"
    ".calendar{display:grid;grid-template-columns:repeat(7,minmax(0,1fr));gap:2px}"
    ".calendar div{border:1px solid #ccc;min-height:3.2em;padding:2px;font-size:13px;"
    "overflow-wrap:anywhere}.calendar .head{border:0;font-weight:bold;min-height:0}"
    ".calendar .empty{border:0}.count{font-weight:bold}.small{font-size:12px;color:#555}"
    "form label{display:inline-block;margin:4px 12px 4px 0}.pager a{margin-right:12px}"
    "@media (max-width:600px){.calendar .small{display:none}body{padding:0 6px}}"
    "@media print{nav,form,.pager,.downloads{display:none}body{max-width:none}}";

std::string Page(const std::string& title, const std::string& heading, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
         HtmlEscape(heading + " - " + title) + "</title><style>" + kStyle +
         "</style></head><body>\n<nav><a href=\"/\">" + HtmlEscape(title) +
         "</a><a href=\"/search\">Search</a></nav>\n<h1>" + HtmlEscape(heading) + "</h1>\n" + body +
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

// base: "" or a plant's "/PLANT".
std::string MonthPath(const std::string& base, const LocalTime& t) {
  return base + "/" + std::to_string(t.year) + "/" + MonthNames().at(t.month - 1) + "/";
}

std::string MonthHeading(const LocalTime& t) {
  return MonthNames().at(t.month - 1) + " " + std::to_string(t.year);
}

std::string TimeOfDay(const LocalTime& t) {
  return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string JournalQuery(const std::string& journal) {
  return journal.empty() ? "" : "?journal=" + UrlEncode(journal);
}

// line with the parts at marks wrapped in <mark>, escaped.
std::string Highlight(std::string_view line, const std::vector<Mark>& marks) {
  std::string html;
  size_t at = 0;
  for (const auto& [start, length] : marks) {
    if (start < at || start + length > line.size()) continue;
    html += HtmlEscape(line.substr(at, start - at)) + "<mark>" +
            HtmlEscape(line.substr(start, length)) + "</mark>";
    at = start + length;
  }
  return html + HtmlEscape(line.substr(at));
}

// Links to the page before and after page of base (which ends in "?..."
// or "?"), where there are such pages.
std::string Pager(const std::string& base, size_t page, bool more) {
  if (page == 0 && !more) return "";
  std::string html = "<p class=\"pager\">";
  if (page > 0) html += Link(base + "page=" + std::to_string(page - 1), "< Previous page");
  html += "Page " + std::to_string(page + 1);
  if (more) html += " " + Link(base + "page=" + std::to_string(page + 1), "Next page >");
  return html + "</p>\n";
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

// The journals of reports with their numbers, each linked to base filtered
// by it, with an "all" link.
std::string JournalCounts(const std::vector<ReportRef>& reports, const std::string& base,
                          const std::string& journal) {
  std::map<std::string, size_t> counts;
  for (const ReportRef& report : reports) ++counts[report.name];
  std::string html =
      "<p>" + (journal.empty() ? std::string("<b>All journals</b>") : Link(base, "All journals"));
  for (const auto& [name, count] : counts) {
    const std::string label = JournalWords(name) + " (" + std::to_string(count) + ")";
    html += " | " + (name == journal ? "<b>" + HtmlEscape(label) + "</b>"
                                     : Link(base + JournalQuery(name), label));
  }
  return html + "</p>\n";
}

// Monday = 0 ... Sunday = 6 of a date (proleptic Gregorian).
int Weekday(int year, int month, int day) {
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  const int sunday_based =
      (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
  return (sunday_based + 6) % 7;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string Calendar(const std::string& base, const LocalTime& month,
                     const std::vector<ReportRef>& reports, const std::string& journal) {
  std::map<int, std::map<std::string, size_t>> by_day;
  for (const ReportRef& report : reports) {
    if (journal.empty() || report.name == journal) ++by_day[report.time.day][report.name];
  }
  std::string html = "<div class=\"calendar\">";
  for (const char* name : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"}) {
    html += std::string("<div class=\"head\">") + name + "</div>";
  }
  for (int blank = Weekday(month.year, month.month, 1); blank > 0; --blank) {
    html += "<div class=\"empty\"></div>";
  }
  for (int day = 1; day <= DaysIn(month.year, month.month); ++day) {
    const auto found = by_day.find(day);
    html += "<div>";
    if (found == by_day.end()) {
      html += std::to_string(day) + "</div>";
      continue;
    }
    size_t total = 0;
    std::string journals;
    for (const auto& [name, count] : found->second) {
      total += count;
      journals += "<br>" + HtmlEscape(JournalWords(name)) + ": " + std::to_string(count);
    }
    html += Link(MonthPath(base, month) + TwoDigits(day) + "/" + JournalQuery(journal),
                 std::to_string(day)) +
            " <span class=\"count\">" + std::to_string(total) + "</span><span class=\"small\">" +
            journals + "</span></div>";
  }
  return html + "</div>\n";
}

std::string Downloads(const std::string& file) {
  const std::string base = ReportPath(file);
  return "<p class=\"downloads\">Download: " + Link(base + ".xml", "XML") + " | " +
         Link(base + ".htm", "HTML") + " | " + Link(base + ".txt", "plain text") + "</p>\n";
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

std::string JournalWords(const std::string& name) {
  std::string words;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const bool starts_word = i > 0 && std::isupper(c) && std::islower(name[i - 1]);
    if (starts_word) words += ' ';
    words += static_cast<char>(i > 0 && starts_word ? std::tolower(c) : c);
  }
  return words;
}

std::string ReportPath(const std::string& file) {
  return "/" + (file.ends_with(".xml") ? file.substr(0, file.size() - 4) : file);
}

std::string HomePage(const std::string& title, const std::vector<LocalTime>& months,
                     const std::string& base) {
  std::string body;
  int year = 0;
  for (const LocalTime& month : months) {
    if (month.year != year) {
      body += (year != 0 ? "</p>\n" : "") + std::string("<h2>") + std::to_string(month.year) +
              "</h2>\n<p>";
      year = month.year;
    }
    body += Link(MonthPath(base, month), MonthNames().at(month.month - 1)) + " ";
  }
  return Page(title, base.empty() ? "Archive" : base.substr(1),
              year == 0 ? "<p>No reports.</p>\n" : body + "</p>\n");
}

std::string PlantsPage(const std::string& title, const std::vector<std::string>& plants) {
  std::string body = "<p>";
  for (const std::string& plant : plants) body += Link("/" + plant + "/", plant) + " ";
  return Page(title, "Plants", plants.empty() ? "<p>No reports.</p>\n" : body + "</p>\n");
}

std::string MonthPage(const std::string& title, const LocalTime& month,
                      const std::vector<ReportRef>& reports, const std::string& notice,
                      const std::string& journal, const std::string& base) {
  std::string body;
  if (!notice.empty()) body += "<p class=\"notice\">" + HtmlEscape(notice) + "</p>\n";
  body += JournalCounts(reports, MonthPath(base, month), journal);
  body += Calendar(base, month, reports, journal);
  return Page(title, MonthHeading(month), body);
}

std::string DayPage(const std::string& title, const LocalTime& day,
                    const std::vector<ReportRef>& reports, const std::string& journal, size_t page,
                    const std::string& base) {
  std::vector<ReportRef> of_day;
  for (const ReportRef& report : reports) {
    if (report.time.day == day.day) of_day.push_back(report);
  }
  std::stable_sort(of_day.begin(), of_day.end(), [](const ReportRef& a, const ReportRef& b) {
    return std::tie(a.time.hour, a.time.minute, a.time.second) <
           std::tie(b.time.hour, b.time.minute, b.time.second);
  });
  const std::string day_path = MonthPath(base, day) + TwoDigits(day.day) + "/";
  std::string body = "<p>" + Link(MonthPath(base, day), MonthHeading(day)) + "</p>\n" +
                     JournalCounts(of_day, day_path, journal);
  std::erase_if(of_day, [&](const ReportRef& r) { return !journal.empty() && r.name != journal; });
  body += "<div class=\"scroll\"><table>\n<tr><th>Time</th><th>Journal</th></tr>\n";
  const size_t first = std::min(page * kPageSize, of_day.size());
  const size_t end = std::min(first + kPageSize, of_day.size());
  for (size_t i = first; i < end; ++i) {
    body += "<tr><td>" + Link(ReportPath(of_day[i].file), TimeOfDay(of_day[i].time)) + "</td><td>" +
            HtmlEscape(JournalWords(of_day[i].name)) + "</td></tr>\n";
  }
  body +=
      "</table></div>\n" + Pager(day_path + (journal.empty() ? "?" : JournalQuery(journal) + "&"),
                                 page, end < of_day.size());
  return Page(title, std::to_string(day.day) + " " + MonthHeading(day), body);
}

std::string ReportPage(const std::string& title, const ReportView& view, const SearchQuery& query,
                       const std::string& base) {
  LineMatcher matcher;
  std::string ignored;
  const bool mark = !query.text.empty() && matcher.Compile(query, &ignored);
  std::string lines;
  std::vector<Mark> marks;
  for (size_t at = 0; at < view.text.size();) {
    const size_t end = view.text.find('\n', at);
    const std::string_view line = std::string_view(view.text).substr(at, end - at);
    if (mark && matcher.Find(line, &marks)) {
      lines += Highlight(line, marks) + "\n";
    } else {
      lines += HtmlEscape(line) + "\n";
    }
    at = end == std::string::npos ? view.text.size() : end + 1;
  }
  const ReportRef& report = view.report;
  std::string nav = "<p class=\"pager\">";
  if (!view.previous.file.empty()) nav += Link(ReportPath(view.previous.file), "< Previous");
  nav += Link(MonthPath(base, report.time) + TwoDigits(report.time.day) + "/", "Day");
  if (!view.next.file.empty()) nav += Link(ReportPath(view.next.file), "Next >");
  const std::string body = nav + "</p>\n" + Downloads(report.file) + "<div class=\"scroll\"><pre>" +
                           lines + "</pre></div>\n";
  return Page(title,
              JournalWords(report.name) + ", " + std::to_string(report.time.day) + " " +
                  MonthHeading(report.time) + " " + TimeOfDay(report.time),
              body);
}

std::string SearchPage(const std::string& title, const SearchForm& form,
                       const SearchResults& results) {
  std::string body = SearchFormHtml(form);
  if (!results.error.empty()) {
    return Page(title, "Search",
                body + "<p class=\"notice\">" + HtmlEscape(results.error) + "</p>\n");
  }
  if (!form.searched) return Page(title, "Search", body);
  if (!results.note.empty()) body += "<p class=\"notice\">" + HtmlEscape(results.note) + "</p>\n";
  const size_t first = form.page * kPageSize;
  body += "<p>" +
          (results.reports.empty()
               ? std::string("No reports found.")
               : "Reports " + std::to_string(first + 1) + " to " +
                     std::to_string(first + results.reports.size()) + (results.more ? "+" : "")) +
          "</p>\n";
  const std::string query =
      "?q=" + UrlEncode(form.query.text) + (form.query.regex ? "&regex=1" : "");
  for (const ReportHits& report : results.reports) {
    body += "<section><h2>" + Link(ReportPath(report.file) + query, report.timestamp) + " " +
            HtmlEscape(JournalWords(report.name)) + " <span class=\"small\">(" +
            std::to_string(report.line_count) + " lines)</span></h2>\n" +
            "<div class=\"scroll\"><pre>";
    for (const SearchHit& hit : report.lines) body += Highlight(hit.line, hit.marks) + "\n";
    body += "</pre></div></section>\n";
  }
  const std::string base = "/search" + query + "&from=" + UrlEncode(form.from) +
                           "&to=" + UrlEncode(form.to) +
                           "&journal=" + UrlEncode(form.query.journal) + "&";
  return Page(title, "Search", body + Pager(base, form.page, results.more));
}
