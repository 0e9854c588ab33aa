#include "archive/central/central_search.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "archive/central/central_text.h"
#include "output/text_helpers.h"

namespace {

// Reports fetched from the cursor at a time.
constexpr int kFetch = 100;
// Trigrams: shorter required texts cannot use the index.
constexpr int kShortestAtom = 3;

// text as a LIKE pattern that matches it anywhere.
std::string Containing(std::string_view text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// The texts one of which every match of pattern contains, lower case; none
// when there is no such set, or one of them is not ASCII (the database's
// case folding of other letters need not be RE2's).
std::vector<std::string> RequiredTexts(const std::string& pattern) {
  re2::FilteredRE2 filter(kShortestAtom);
  int id = 0;
  std::vector<std::string> atoms;
  if (filter.Add(pattern, RE2::Quiet, &id) != RE2::NoError) return {};
  filter.Compile(&atoms);
  const bool ascii = std::all_of(atoms.begin(), atoms.end(), [](const std::string& atom) {
    return std::all_of(atom.begin(), atom.end(), [](char c) { return (c & 0x80) == 0; });
  });
  return ascii ? atoms : std::vector<std::string>{};
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
      "SELECT plant, month, file, to_char(filed, 'YYYY-MM-DD HH24:MI:SS'), lines FROM reports "
      "WHERE filed >= $1::date AND filed < $2::date + 1";
  std::vector<std::string> values;

  void Add(const std::string& condition, std::string value) {
    values.push_back(std::move(value));
    sql += condition + "$" + std::to_string(values.size() + 2);
  }
};

Candidates CandidatesOf(const SearchQuery& query, const std::string& plant) {
  Candidates candidates;
  if (!plant.empty()) candidates.Add(" AND plant = ", plant);
  if (!query.journal.empty()) candidates.Add(" AND journal = ", query.journal);
  if (!query.regex) {
    candidates.Add(" AND lines LIKE ", Containing(query.text));
  } else if (const auto texts = RequiredTexts(query.text); !texts.empty()) {
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
                   const std::function<bool(const SearchHit&)>& on_hit, std::string* error) {
  std::unique_ptr<RE2> regex;
  if (query.regex) {
    regex = std::make_unique<RE2>(query.text, RE2::Quiet);
    if (!regex->ok()) {
      *error = "invalid regular expression '" + query.text + "': " + regex->error();
      return false;
    }
  }
  const Candidates candidates = CandidatesOf(query, plant);
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
        SearchHit hit{FormatTimestamp(ParseSqlTime(reports.Value(row, 3)), TextEncoding::kUtf8),
                      std::string(reports.Value(row, 0)) + "/" +
                          std::string(reports.Value(row, 1)) + "/" +
                          std::string(reports.Value(row, 2)),
                      ""};
        for (std::string_view line : TextLines(reports.Value(row, 4))) {
          const bool match = regex != nullptr ? RE2::PartialMatch(line, *regex)
                                              : line.find(query.text) != std::string_view::npos;
          if (match && go_on) {
            hit.line = line;
            go_on = on_hit(hit);
          }
        }
      }
    }
  });
  return true;
}
