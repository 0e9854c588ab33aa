#include "archive/central/central_server.h"

#include <httplib.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_pages.h"
#include "archive/central/central_search.h"
#include "archive/central/central_text.h"
#include "archive/central/db_connection.h"
#include "output/text_helpers.h"

namespace {

constexpr char kPlant[] = R"(/([A-Za-z0-9_][A-Za-z0-9_.-]*))";
constexpr char kMonth[] = R"(/(\d{4})/([A-Z][a-z]{2}))";

using Handler = void (*)(DbConnection&, const httplib::Request&, httplib::Response&);

// The plant's months, newest first, their paths starting with the plant.
std::vector<MonthFolder> PlantMonths(DbConnection& db, const std::string& plant) {
  const DbResult rows = db.Exec("SELECT DISTINCT month FROM reports WHERE plant = $1", {{plant}});
  std::vector<MonthFolder> months;
  for (int row = 0; row < rows.rows(); ++row) {
    MonthFolder month;
    if (!MonthFolderOf(std::string(rows.Value(row, 0)), &month)) continue;
    month.relative = plant + "/" + month.relative;
    months.push_back(month);
  }
  std::sort(months.begin(), months.end(), [](const MonthFolder& a, const MonthFolder& b) {
    return std::tie(a.year, a.month) > std::tie(b.year, b.month);
  });
  return months;
}

void ServePlants(DbConnection& db, const httplib::Request&, httplib::Response& response) {
  const DbResult rows = db.Exec("SELECT DISTINCT plant FROM reports ORDER BY plant");
  std::vector<std::string> plants;
  for (int row = 0; row < rows.rows(); ++row) plants.emplace_back(rows.Value(row, 0));
  response.set_content(PlantsPage(plants), kPageType);
}

void ServePlant(DbConnection& db, const httplib::Request& request, httplib::Response& response) {
  const std::vector<MonthFolder> months = PlantMonths(db, request.matches[1].str());
  if (months.empty()) return NotFound(response);
  response.set_content(HomePage(months), kPageType);
}

void ServeMonth(DbConnection& db, const httplib::Request& request, httplib::Response& response) {
  const std::string plant = request.matches[1].str();
  const std::string folder = request.matches[2].str() + "/" + request.matches[3].str();
  MonthFolder month;
  if (!MonthFolderOf(folder, &month)) return NotFound(response);
  month.relative = plant + "/" + folder;
  const DbResult rows = db.Exec(
      "SELECT journal, to_char(filed, 'YYYY-MM-DD HH24:MI:SS'), file FROM reports "
      "WHERE plant = $1 AND month = $2 ORDER BY filed, file",
      {{plant}, {folder}});
  if (rows.rows() == 0) return NotFound(response);
  std::vector<IndexEntry> entries;
  for (int row = 0; row < rows.rows(); ++row) {
    entries.push_back({std::string(rows.Value(row, 0)),
                       FormatTimestamp(ParseSqlTime(rows.Value(row, 1)), TextEncoding::kUtf8),
                       std::string(rows.Value(row, 2))});
  }
  response.set_content(MonthPage(month, entries, "", request.get_param_value("journal")),
                       kPageType);
}

void ServeReport(DbConnection& db, const httplib::Request& request, httplib::Response& response) {
  const std::string folder = request.matches[2].str() + "/" + request.matches[3].str();
  const DbResult rows =
      db.Exec("SELECT lines FROM reports WHERE plant = $1 AND month = $2 AND file = $3",
              {{request.matches[1].str()}, {folder}, {request.matches[4].str() + ".xml"}});
  if (rows.rows() == 0) return NotFound(response);
  response.set_content(PrintOutPage(request.matches[4].str(), std::string(rows.Value(0, 0))),
                       kPageType);
}

void ServeSearch(DbConnection& db, const httplib::Request& request, httplib::Response& response) {
  std::string error;
  const SearchForm form = ReadSearchForm(request, &error);
  std::vector<SearchHit> hits;
  bool more = false;
  if (error.empty() && form.searched) {
    SearchCentral(db, form.query, request.get_param_value("plant"), CollectHits(&hits, &more),
                  &error);
  }
  response.set_content(SearchPage(form, hits, error, more), kPageType);
}

}  // namespace

CentralServer::CentralServer(std::string conninfo) : conninfo_(std::move(conninfo)) { AddRoutes(); }

void CentralServer::AddRoutes() {
  const std::string plant = kPlant, month = plant + kMonth;
  const std::pair<std::string, Handler> routes[] = {{"/", ServePlants},
                                                    {plant + "/", ServePlant},
                                                    {month + "/?", ServeMonth},
                                                    {month + R"(/([^/]+)\.htm)", ServeReport},
                                                    {"/search", ServeSearch}};
  for (const auto& [pattern, handler] : routes) {
    server_->Get(pattern,
                 [this, handler](const httplib::Request& request, httplib::Response& response) {
                   try {
                     DbConnection db(conninfo_);
                     handler(db, request, response);
                   } catch (const DbError& error) {
                     response.status = 503;
                     response.set_content(
                         std::string("The central database cannot be read: ") + error.what() + "\n",
                         "text/plain; charset=utf-8");
                   }
                 });
  }
}
