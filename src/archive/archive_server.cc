#include "archive/archive_server.h"

#include <httplib.h>

#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_pages.h"
#include "archive/search.h"
#include "output/report_path.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

// The month folder of the request's YEAR and Mon, if it is one inside
// data_folder.
bool FindMonth(const std::string& data_folder, const httplib::Request& request,
               MonthFolder* month) {
  const std::string path =
      JoinPath(JoinPath(data_folder, request.matches[1].str()), request.matches[2].str());
  return MonthFolderOf(path, month) && FolderExists(path) && InsideFolder(data_folder, path);
}

// The month's index entries; from its files, with a notice, when the index
// cannot be read.
std::vector<IndexEntry> MonthEntries(const MonthFolder& month, std::string* notice) {
  std::vector<IndexEntry> entries;
  std::string error;
  if (ReadIndex(JoinPath(month.path, kIndexFileName), &entries, &error)) return entries;
  *notice = "The index of this month (dir.xml) cannot be read (" + error +
            "); its reports are listed from their files.";
  return EntriesOf(ReportFiles(month, ListMonthFiles(month.path).xml, nullptr));
}

void ServeHome(const std::string& data_folder, const httplib::Request&,
               httplib::Response& response) {
  std::vector<MonthFolder> months = ListMonths(data_folder);
  std::erase_if(months,
                [&](const MonthFolder& month) { return !InsideFolder(data_folder, month.path); });
  response.set_content(HomePage(months), kPageType);
}

void ServeMonth(const std::string& data_folder, const httplib::Request& request,
                httplib::Response& response) {
  MonthFolder month;
  if (!FindMonth(data_folder, request, &month)) return NotFound(response);
  std::string notice;
  const std::vector<IndexEntry> entries = MonthEntries(month, &notice);
  response.set_content(MonthPage(month, entries, notice, request.get_param_value("journal")),
                       kPageType);
}

// A report's page as the writer wrote it (already escaped), in UTF-8. The
// request names it as the index does, in UTF-8.
void ServeReport(const std::string& data_folder, const httplib::Request& request,
                 httplib::Response& response) {
  MonthFolder month;
  ReportPath report;
  std::string page, ignored;
  if (!FindMonth(data_folder, request, &month) ||
      !ParseReportPath(request.matches[3].str(), month.year, TextEncoding::kUtf8, &report)) {
    return NotFound(response);
  }
  const std::string path =
      JoinPath(month.path, Respelt(report, TextEncoding::kUtf8, TextEncoding::kLocal).Htm());
  if (!request.matches[3].str().ends_with(".htm") || !FileExists(path) ||
      !InsideFolder(data_folder, path) || !ReadWholeFile(path, &page, &ignored)) {
    return NotFound(response);
  }
  response.set_content(CodePageToUtf8(page), kPageType);
}

void ServeSearch(const std::string& data_folder, const httplib::Request& request,
                 httplib::Response& response) {
  std::string error;
  const SearchForm form = ReadSearchForm(request, &error);
  std::vector<SearchHit> hits;
  bool more = false;
  if (error.empty() && form.searched) {
    SearchArchive(data_folder, form.query, CollectHits(&hits, &more), &error);
  }
  response.set_content(SearchPage(form, hits, error, more), kPageType);
}

}  // namespace

ArchiveServer::ArchiveServer(std::string data_folder) : data_folder_(std::move(data_folder)) {
  AddRoutes();
}

void ArchiveServer::AddRoutes() {
  using Handler = void (*)(const std::string&, const httplib::Request&, httplib::Response&);
  const std::pair<const char*, Handler> routes[] = {
      {"/", ServeHome},
      {R"(/(\d{4})/([A-Z][a-z]{2})/?)", ServeMonth},
      {R"(/(\d{4})/([A-Z][a-z]{2})/([^/]+))", ServeReport},
      {"/search", ServeSearch}};
  for (const auto& [pattern, handler] : routes) {
    server_->Get(pattern,
                 [this, handler](const httplib::Request& request, httplib::Response& response) {
                   handler(data_folder_, request, response);
                 });
  }
}
