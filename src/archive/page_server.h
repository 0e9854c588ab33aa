#ifndef QUELLOR_ARCHIVE_PAGE_SERVER_H_
#define QUELLOR_ARCHIVE_PAGE_SERVER_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_pages.h"
#include "archive/search.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// What the pages are sent as: report text is decoded into UTF-8.
inline constexpr char kPageType[] = "text/html; charset=utf-8";

// The search form of request; *error when its dates are not dates.
SearchForm ReadSearchForm(const httplib::Request& request, std::string* error);

// Answers 404.
void NotFound(httplib::Response& response);

// Collects hits into *hits up to the most one page shows; *more once one
// is left out.
std::function<bool(const SearchHit&)> CollectHits(std::vector<SearchHit>* hits, bool* more);

// What the archive's web views share: an HTTP server that answers GET
// requests for pages with a strict content security policy.
class PageServer {
 public:
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;
  virtual ~PageServer();

  // Binds to host and port (0: any free port); false when it cannot.
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

 protected:
  PageServer();

  std::unique_ptr<httplib::Server> server_;

 private:
  int port_ = 0;
};

#endif  // QUELLOR_ARCHIVE_PAGE_SERVER_H_
