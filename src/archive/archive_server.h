#ifndef QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
#define QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "archive/report_source.h"

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

// How the web view is served.
struct ServerOptions {
  std::string title = "Archive";  // shown on every page
  // Host header names accepted besides the listen address, "localhost"
  // (on a loopback address) and address literals.
  std::vector<std::string> allowed_hosts;
  // A search still running after this long ends with what it found.
  std::chrono::milliseconds search_limit = std::chrono::seconds(20);
  // A request (its line, headers and any body) must arrive whole within
  // this long of its first byte, however steadily its bytes come; its
  // connection is closed otherwise.
  std::chrono::milliseconds request_limit = std::chrono::seconds(5);
};

// A read-only web view of a ReportSource: the years and months, a month as
// a calendar, a day's reports, a report's page with its downloads, and a
// search. Answers GET and HEAD only; each request is logged to standard
// error in the common log format. Writes nothing.
class ArchiveServer {
 public:
  // Serves source (which must outlive the server); nothing is read before
  // a request asks for it. With plants (which must outlive it too): a page
  // of the plants at "/", each plant's pages under /PLANT/, and source
  // answers the search (across the plants).
  ArchiveServer(ReportSource& source, ServerOptions options, PlantSources* plants = nullptr);
  ArchiveServer(const ArchiveServer&) = delete;
  ArchiveServer& operator=(const ArchiveServer&) = delete;
  ~ArchiveServer();

  // Binds to host and port (0: any free port); false when it cannot, also
  // when another program listens there already.
  bool Bind(const std::string& host, int port);

  // The bound port.
  int port() const { return port_; }

  // Answers requests until Stop is called (from another thread); false
  // when it cannot serve.
  bool Run();

  // True while Run answers requests.
  bool running() const;

  // Makes Run return.
  void Stop();

 private:
  class Searches;
  void AddRoutes();
  // The source of the request's plant (matches[1]; "" without plants),
  // kept in *owned where it is made for the request; null when there is no
  // such plant.
  ReportSource* SourceOf(const httplib::Request& request, std::unique_ptr<ReportSource>* owned);
  // The reports of the request's plant and month (matches[2], [3]); false
  // when there are none.
  bool MonthReports(const httplib::Request& request, std::vector<ReportRef>* reports,
                    std::string* notice);

  ReportSource& source_;
  PlantSources* const plants_;
  const ServerOptions options_;
  std::vector<std::string> hosts_;  // accepted Host names, lower case
  std::unique_ptr<Searches> searches_;
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
};

#endif  // QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
