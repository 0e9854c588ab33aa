#include "archive/central/central_source.h"

#include <algorithm>
#include <iostream>
#include <tuple>
#include <utility>

#include "archive/archive.h"
#include "archive/central/central_search.h"
#include "archive/central/central_text.h"
#include "archive/central/db_connection.h"
#include "output/text_helpers.h"

namespace {

// Runs body on a new connection; false, the reason told on standard error,
// when the database cannot be reached or fails.
template <typename Body>
bool WithDatabase(const std::string& conninfo, Body body, std::string* error = nullptr) {
  try {
    DbConnection db(conninfo);
    return body(db);
  } catch (const DbError& problem) {
    const std::string reason =
        std::string("The central database cannot be read: ") + problem.what();
    std::cerr << reason << std::endl;
    if (error != nullptr) *error = reason;
    return false;
  }
}

}  // namespace

CentralSource::CentralSource(std::string conninfo, std::string plant)
    : conninfo_(std::move(conninfo)), plant_(std::move(plant)) {}

std::vector<LocalTime> CentralSource::Months() {
  std::vector<LocalTime> months;
  WithDatabase(conninfo_, [&](DbConnection& db) {
    const DbResult rows =
        db.Exec("SELECT DISTINCT month FROM reports WHERE plant = $1", {{plant_}});
    for (int row = 0; row < rows.rows(); ++row) {
      MonthFolder month;
      if (MonthFolderOf(std::string(rows.Value(row, 0)), &month)) {
        months.push_back({month.year, month.month, 1});
      }
    }
    return true;
  });
  std::sort(months.begin(), months.end(), [](const LocalTime& a, const LocalTime& b) {
    return std::tie(a.year, a.month) > std::tie(b.year, b.month);
  });
  return months;
}

bool CentralSource::MonthReports(int year, int month, std::vector<ReportRef>* reports,
                                 std::string*) {
  reports->clear();
  if (month < 1 || month > 12) return false;
  const std::string folder = RelativeMonth(year, month);
  return WithDatabase(conninfo_, [&](DbConnection& db) {
    const DbResult rows = db.Exec(
        "SELECT journal, to_char(filed, 'YYYY-MM-DD HH24:MI:SS'), file FROM reports "
        "WHERE plant = $1 AND month = $2 ORDER BY filed, file",
        {{plant_}, {folder}});
    for (int row = 0; row < rows.rows(); ++row) {
      reports->push_back({plant_ + "/" + folder + "/" + std::string(rows.Value(row, 2)),
                          std::string(rows.Value(row, 0)), ParseSqlTime(rows.Value(row, 1))});
    }
    return !reports->empty();
  });
}

bool CentralSource::ReportColumn(const std::string& file, const std::string& column,
                                 std::string* value) {
  const std::string prefix = plant_ + "/";
  const size_t name = file.rfind('/');
  if (!file.starts_with(prefix) || name == std::string::npos || name < prefix.size()) return false;
  const std::string month = file.substr(prefix.size(), name - prefix.size());
  const std::string xml = file.substr(name + 1, file.size() - name - 5) + ".xml";
  return WithDatabase(conninfo_, [&](DbConnection& db) {
    const DbResult rows =
        db.Exec("SELECT " + column + " FROM reports WHERE plant = $1 AND month = $2 AND file = $3",
                {{plant_}, {month}, {xml}}, true);
    if (rows.rows() == 0 || rows.IsNull(0, 0)) return false;
    *value = rows.Value(0, 0);
    return true;
  });
}

bool CentralSource::ReportBytes(const std::string& file, std::string* bytes) {
  return file.ends_with(".htm") && ReportColumn(file, "htm", bytes);
}

bool CentralSource::ReportText(const std::string& file, std::string* text) {
  if (!file.ends_with(".xml") || !ReportColumn(file, "lines", text)) return false;
  if (!text->empty()) *text += '\n';
  return true;
}

bool CentralSource::Search(const SearchQuery& query,
                           const std::function<bool(const ReportHits&)>& on_report, std::string*,
                           std::string* error) {
  return WithDatabase(
      conninfo_,
      [&](DbConnection& db) { return SearchCentral(db, query, plant_, on_report, error); }, error);
}

CentralPlants::CentralPlants(std::string conninfo) : conninfo_(std::move(conninfo)) {}

std::vector<std::string> CentralPlants::Plants() {
  std::vector<std::string> plants;
  WithDatabase(conninfo_, [&](DbConnection& db) {
    const DbResult rows = db.Exec("SELECT DISTINCT plant FROM reports ORDER BY plant");
    for (int row = 0; row < rows.rows(); ++row) plants.emplace_back(rows.Value(row, 0));
    return true;
  });
  return plants;
}

std::unique_ptr<ReportSource> CentralPlants::Plant(const std::string& plant) {
  auto source = std::make_unique<CentralSource>(conninfo_, plant);
  if (!plant.empty() && source->Months().empty()) return nullptr;
  return source;
}
