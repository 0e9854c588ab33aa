#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SEARCH_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SEARCH_H_

#include <functional>
#include <string>

#include "archive/central/db_connection.h"
#include "archive/search.h"

// Calls on_report for every report of the central database with printed
// lines that match query, plant's only unless plant is "": newest report
// first, the lines in print order; each file is "PLANT/2005/Jan/Name.xml".
// The trigram index finds the candidate reports (for an RE2 expression,
// those holding one of the texts every match must contain); each of their
// lines is then matched as the folder search matches it. Stops early when
// on_report returns false or query.stop is set. False with the reason in *error when the expression
// is invalid; raises DbError when the database fails.
bool SearchCentral(DbConnection& db, const SearchQuery& query, const std::string& plant,
                   const std::function<bool(const ReportHits&)>& on_report, std::string* error);

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SEARCH_H_
