#include "archive/central/central_search.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "archive/central/central_text.h"
#include "output/text_helpers.h"

namespace {

// Reports fetched from the cursor at a time.
constexpr int kFetch = 100;

// text as a LIKE pattern that matches it anywhere.
std::string Containing(std::string_view text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// "yyyy-mm-dd" of a day.
std::string SqlDay(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", std::clamp(t.year, 1, 9999), t.month, t.day);
  return text;
}

// The statement that lists the candidate reports, newest first, and its
// parameters.
struct Candidates {
  std::string sql =
      "DECLARE candidates NO SCROLL CURSOR FOR "
      "SELECT plant, month, file, to_char(filed, 'YYYY-MM-DD HH24:MI:SS'), lines, journal "
      "FROM reports "
      "WHERE filed >= $1::date AND filed < $2::date + 1";
  std::vector<std::string> values;

  void Add(const std::string& condition, std::string value) {
    values.push_back(std::move(value));
    sql += condition + "$" + std::to_string(values.size() + 2);
  }
};

// The index narrows an expression's candidates by the texts one of which
// every match contains (lower case), unless one of them is not ASCII: the
// database's case folding of other letters need not be RE2's.
Candidates CandidatesOf(const SearchQuery& query, const LineMatcher& matcher,
                        const std::string& plant) {
  Candidates candidates;
  const std::vector<std::string>& texts = matcher.atoms();
  const bool ascii = std::all_of(texts.begin(), texts.end(), [](const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
  });
  if (!plant.empty()) candidates.Add(" AND plant = ", plant);
  if (!query.journal.empty()) candidates.Add(" AND journal = ", query.journal);
  if (!query.regex) {
    candidates.Add(" AND lines LIKE ", Containing(query.text));
  } else if (ascii && !texts.empty()) {
    for (size_t i = 0; i < texts.size(); ++i) {
      candidates.Add(i == 0 ? " AND (lines ILIKE " : " OR lines ILIKE ", Containing(texts[i]));
    }
    candidates.sql += ")";
  }
  candidates.sql += " ORDER BY filed DESC, plant, month, file";
  return candidates;
}

}  // namespace

bool SearchCentral(DbConnection& db, const SearchQuery& query, const std::string& plant,
                   const std::function<bool(const ReportHits&)>& on_report, std::string* error) {
  LineMatcher matcher;
  if (!matcher.Compile(query, error)) return false;
  const Candidates candidates = CandidatesOf(query, matcher, plant);
  const std::string from = SqlDay(query.from), to = SqlDay(query.to);
  std::vector<DbParam> params{{from}, {to}};
  for (const std::string& value : candidates.values) params.push_back({value});
  bool go_on = true;
  InTransaction(db, [&] {
    db.Exec(candidates.sql, params);
    for (int rows = kFetch; go_on && rows == kFetch;) {
      const DbResult reports = db.Exec("FETCH " + std::to_string(kFetch) + " FROM candidates");
      rows = reports.rows();
      for (int row = 0; go_on && row < rows; ++row) {
        ReportHits report{FormatTimestamp(ParseSqlTime(reports.Value(row, 3)), TextEncoding::kUtf8),
                          std::string(reports.Value(row, 0)) + "/" +
                              std::string(reports.Value(row, 1)) + "/" +
                              std::string(reports.Value(row, 2)),
                          std::string(reports.Value(row, 5)),
                          {},
                          0};
        std::vector<Mark> marks;
        for (std::string_view line : TextLines(reports.Value(row, 4))) {
          if (!matcher.Find(line, &marks)) continue;
          report.lines.push_back({report.timestamp, report.file, std::string(line), marks});
        }
        report.line_count = report.lines.size();
        go_on =
            (query.stop == nullptr || !*query.stop) && (report.lines.empty() || on_report(report));
      }
    }
  });
  return true;
}
