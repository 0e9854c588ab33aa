#include "archive/archive_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "archive/archive_pages.h"
#include "archive/limited_server.h"
#include "archive/search.h"
#include "output/report_path.h"
#include "output/text_helpers.h"

namespace {

// What the pages are sent as; report text is decoded from its code page.
constexpr char kHtml[] = "text/html; charset=utf-8";
// Connections served at once: idle and slow clients each hold one, so
// there are many more than cores.
constexpr size_t kConnectionThreads = 64;
// Searches run at once; more wait their turn.
constexpr size_t kSearchThreads = 2;
// A request's header lines must keep coming: a connection silent this long
// is closed, as is a kept-alive one with no next request.
constexpr time_t kReadTimeoutSeconds = 3;
constexpr time_t kKeepAliveSeconds = 3;
// Most matching lines shown per report in the search results.
constexpr size_t kLinesPerReport = 20;
// While a search runs, a byte goes to the client this often: a write that
// fails tells that the client went away.
constexpr auto kAliveCheck = std::chrono::milliseconds(250);

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The host name of a Host header value: without its port, lower case.
std::string HostName(const std::string& header) {
  if (header.starts_with('[')) return Lower(header.substr(0, header.find(']') + 1));
  return Lower(header.substr(0, header.find(':')));
}

// An address literal names no DNS entry, so it cannot be rebound.
bool IsAddressLiteral(const std::string& host) {
  return host.starts_with('[') ||
         (!host.empty() && host.find_first_not_of("0123456789.") == std::string::npos);
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host.starts_with("127.") || host == "::1";
}

void NotFound(httplib::Response& response) {
  response.status = 404;
  response.set_content("Not found\n", "text/plain");
}

// One line per request in the common log format.
void LogRequest(const httplib::Request& request, const httplib::Response& response) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  const std::time_t now = std::time(nullptr);
  char when[32];
  std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S +0000", std::gmtime(&now));
  std::cerr << (request.remote_addr.empty() ? "-" : request.remote_addr) << " - - [" << when
            << "] \"" << request.method << " " << request.target << " " << request.version << "\" "
            << response.status << " "
            << (response.body.empty() ? "-" : std::to_string(response.body.size())) << std::endl;
}

// The month of a request's matches[2] and [3] (YEAR, Mon).
LocalTime MonthOf(const httplib::Request& request) {
  return {std::stoi(request.matches[2].str()), MonthOfFolderName(request.matches[3].str()), 1};
}

// The pages' base: "/PLANT" of the request's plant, "" without.
std::string Base(const httplib::Request& request) {
  return request.matches[1].str().empty() ? "" : "/" + request.matches[1].str();
}

size_t PageNumber(const httplib::Request& request) {
  const std::string page = request.get_param_value("page");
  if (page.empty() || page.size() > 6 || page.find_first_not_of("0123456789") != page.npos)
    return 0;
  return std::stoul(page);
}

SearchForm ReadSearchForm(const httplib::Request& request, std::string* error) {
  SearchForm form;
  form.query.text = request.get_param_value("q");
  form.query.journal = request.get_param_value("journal");
  form.query.regex = request.get_param_value("regex") == "1";
  form.from = request.get_param_value("from");
  form.to = request.get_param_value("to");
  form.searched = !form.query.text.empty();
  form.page = PageNumber(request);
  if ((!form.from.empty() && !ParseDay(form.from, &form.query.from)) ||
      (!form.to.empty() && !ParseDay(form.to, &form.query.to))) {
    *error = "Dates are written yyyy-mm-dd.";
  }
  return form;
}

// The report of the same journal before (step -1) or after (step 1) the
// one at `at` of reports, looking on into neighbouring months.
ReportRef Neighbour(ReportSource& source, const LocalTime& month,
                    const std::vector<ReportRef>& reports, size_t at, int step) {
  const std::string& name = reports[at].name;
  for (size_t i = at + step; i < reports.size(); i += step) {
    if (reports[i].name == name) return reports[i];
  }
  const std::vector<LocalTime> months = source.Months();  // newest first
  auto here = std::find_if(months.begin(), months.end(), [&](const LocalTime& m) {
    return m.year == month.year && m.month == month.month;
  });
  std::vector<ReportRef> others;
  std::string ignored;
  for (int i = static_cast<int>(here - months.begin()) - step;
       i >= 0 && i < static_cast<int>(months.size()); i -= step) {
    if (!source.MonthReports(months[i].year, months[i].month, &others, &ignored)) continue;
    if (step < 0) std::reverse(others.begin(), others.end());
    for (const ReportRef& other : others) {
      if (other.name == name) return other;
    }
  }
  return {};
}

}  // namespace

// Runs searches on threads of their own, so that connections stay free.
class ArchiveServer::Searches {
 public:
  struct Job {
    SearchQuery query;
    size_t page = 0;
    std::atomic<bool> stop = false;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    SearchResults results;

    // True once the search ended, waiting at most wait.
    bool Wait(std::chrono::milliseconds wait) {
      std::unique_lock<std::mutex> lock(mutex);
      return finished.wait_for(lock, wait, [this] { return done; });
    }
  };

  explicit Searches(ReportSource& source) : source_(source) {
    for (size_t i = 0; i < kSearchThreads; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~Searches() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
      for (const auto& job : queue_) job->stop = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Queues a search for page of query's reports.
  std::shared_ptr<Job> Start(const SearchQuery& query, size_t page) {
    auto job = std::make_shared<Job>();
    job->query = query;
    job->query.stop = &job->stop;
    job->page = page;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(job);
    }
    wake_.notify_one();
    return job;
  }

 private:
  void Work() {
    for (;;) {
      std::shared_ptr<Job> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      if (!job->stop) Run(*job);
      std::lock_guard<std::mutex> lock(job->mutex);
      job->done = true;
      job->finished.notify_all();
    }
  }

  void Run(Job& job) {
    size_t skip = job.page * kPageSize;
    SearchResults& results = job.results;
    source_.Search(
        job.query,
        [&](const ReportHits& report) {
          if (skip > 0) {
            --skip;
            return true;
          }
          results.more = results.reports.size() == kPageSize;
          if (results.more) return false;
          results.reports.push_back(report);
          if (report.lines.size() > kLinesPerReport) {
            results.reports.back().lines.resize(kLinesPerReport);
          }
          return true;
        },
        &results.note, &results.error);
  }

  ReportSource& source_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Job>> queue_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

ArchiveServer::ArchiveServer(ReportSource& source, ServerOptions options, PlantSources* plants)
    : source_(source),
      plants_(plants),
      options_(std::move(options)),
      searches_(std::make_unique<Searches>(source)),
      server_(NewLimitedServer(options_.request_limit)) {
  AddRoutes();
}

ArchiveServer::~ArchiveServer() = default;

bool ArchiveServer::Bind(const std::string& host, int port) {
  hosts_ = {Lower(host)};
  if (IsLoopback(Lower(host))) hosts_.push_back("localhost");
  for (const std::string& name : options_.allowed_hosts) hosts_.push_back(Lower(name));
#ifndef _WIN32
  // SO_REUSEADDR only: a restart may reuse the address of connections
  // closing down, but a port another server listens on is refused (the
  // library's default SO_REUSEPORT would share it). Windows refuses it by
  // the library's default SO_EXCLUSIVEADDRUSE.
  server_->set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
#endif
  if (port == 0) {
    port_ = server_->bind_to_any_port(host);
    return port_ > 0;
  }
  port_ = port;
  return server_->bind_to_port(host, port);
}

bool ArchiveServer::Run() { return server_->listen_after_bind(); }

bool ArchiveServer::running() const { return server_->is_running(); }

void ArchiveServer::Stop() { server_->stop(); }

ReportSource* ArchiveServer::SourceOf(const httplib::Request& request,
                                      std::unique_ptr<ReportSource>* owned) {
  if (plants_ == nullptr) return &source_;
  *owned = plants_->Plant(request.matches[1].str());
  return owned->get();
}

bool ArchiveServer::MonthReports(const httplib::Request& request, std::vector<ReportRef>* reports,
                                 std::string* notice) {
  std::unique_ptr<ReportSource> owned;
  ReportSource* source = SourceOf(request, &owned);
  const LocalTime month = MonthOf(request);
  return source != nullptr && source->MonthReports(month.year, month.month, reports, notice);
}

void ArchiveServer::AddRoutes() {
  // The plant comes first where there are plants; an empty group otherwise
  // keeps the other parts' numbers.
  const std::string plant = plants_ != nullptr ? "/([A-Za-z0-9_][A-Za-z0-9_.-]*)" : "()";
  const std::string month = plant + R"(/(\d{4})/([A-Z][a-z]{2}))";
  server_->Get("/", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(plants_ != nullptr ? PlantsPage(options_.title, plants_->Plants())
                                            : HomePage(options_.title, source_.Months()),
                         kHtml);
  });
  if (plants_ != nullptr) {
    server_->Get(plant + "/", [this](const httplib::Request& request, httplib::Response& response) {
      std::unique_ptr<ReportSource> owned;
      ReportSource* source = SourceOf(request, &owned);
      if (source == nullptr) return NotFound(response);
      response.set_content(HomePage(options_.title, source->Months(), Base(request)), kHtml);
    });
  }
  server_->Get(month + "/?", [this](const httplib::Request& request, httplib::Response& response) {
    std::vector<ReportRef> reports;
    std::string notice;
    if (!MonthReports(request, &reports, &notice)) return NotFound(response);
    response.set_content(MonthPage(options_.title, MonthOf(request), reports, notice,
                                   request.get_param_value("journal"), Base(request)),
                         kHtml);
  });
  server_->Get(month + R"(/(\d{2})/?)", [this](const httplib::Request& request,
                                               httplib::Response& response) {
    LocalTime day = MonthOf(request);
    day.day = std::stoi(request.matches[4].str());
    std::vector<ReportRef> reports;
    std::string ignored;
    if (!MonthReports(request, &reports, &ignored)) return NotFound(response);
    response.set_content(DayPage(options_.title, day, reports, request.get_param_value("journal"),
                                 PageNumber(request), Base(request)),
                         kHtml);
  });
  // A report's page, and its files as they are (.htm, .xml) or as text.
  server_->Get(month + R"(/([^/]+?)(\.xml|\.htm|\.txt)?)", [this](const httplib::Request& request,
                                                                  httplib::Response& response) {
    std::unique_ptr<ReportSource> owned;
    ReportSource* source = SourceOf(request, &owned);
    const std::string base =
        (request.matches[1].str().empty() ? "" : request.matches[1].str() + "/") +
        request.matches[2].str() + "/" + request.matches[3].str() + "/" + request.matches[4].str();
    const std::string kind = request.matches[5].str();
    const std::string name = base.substr(base.rfind('/') + 1) + kind;
    const std::string attachment = "attachment; filename=\"" + name + "\"";
    std::string bytes;
    if (source == nullptr) return NotFound(response);
    if (kind == ".htm" || kind == ".xml") {
      if (!source->ReportBytes(base + kind, &bytes)) return NotFound(response);
      if (kind == ".htm") return response.set_content(CodePageToUtf8(bytes), kHtml);
      response.set_header("Content-Disposition", attachment);
      return response.set_content(bytes, "application/xml");
    }
    ReportView view;
    if (!source->ReportText(base + ".xml", &view.text)) return NotFound(response);
    if (kind == ".txt") {
      response.set_header("Content-Disposition", attachment);
      return response.set_content(view.text, "text/plain; charset=utf-8");
    }
    const LocalTime month = MonthOf(request);
    std::vector<ReportRef> reports;
    std::string ignored;
    source->MonthReports(month.year, month.month, &reports, &ignored);
    const auto at = std::find_if(reports.begin(), reports.end(),
                                 [&](const ReportRef& r) { return r.file == base + ".xml"; });
    if (at == reports.end()) return NotFound(response);
    view.report = *at;
    const size_t index = static_cast<size_t>(at - reports.begin());
    view.previous = Neighbour(*source, month, reports, index, -1);
    view.next = Neighbour(*source, month, reports, index, 1);
    SearchQuery query;
    query.text = request.get_param_value("q");
    query.regex = request.get_param_value("regex") == "1";
    response.set_content(ReportPage(options_.title, view, query, Base(request)), kHtml);
  });
  server_->Get("/search", [this](const httplib::Request& request, httplib::Response& response) {
    std::string error;
    const SearchForm form = ReadSearchForm(request, &error);
    if (!error.empty() || !form.searched) {
      return response.set_content(SearchPage(options_.title, form, {{}, false, "", error}), kHtml);
    }
    auto job = searches_->Start(form.query, form.page);
    const auto deadline = std::chrono::steady_clock::now() + options_.search_limit;
    response.set_chunked_content_provider(
        kHtml, [this, job, form, deadline](size_t, httplib::DataSink& sink) {
          while (!job->Wait(kAliveCheck)) {
            // White space before the document type is no part of the page.
            if (!sink.write("\n", 1)) {
              job->stop = true;
              return false;
            }
            if (std::chrono::steady_clock::now() > deadline) {
              job->stop = true;
              job->Wait(std::chrono::hours(1));
              job->results.more = false;
              job->results.note =
                  "The search took too long and was stopped: these are the "
                  "reports found until then. Narrow it by dates or journal.";
            }
          }
          const std::string page = SearchPage(options_.title, form, job->results);
          sink.write(page.data(), page.size());
          sink.done();
          return true;
        });
  });
  server_->new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
  server_->set_read_timeout(kReadTimeoutSeconds, 0);
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  server_->set_logger(LogRequest);
  // Only GET and HEAD, only for the names this server is known by (a page
  // of another site that renamed itself to this address must not read it).
  // Refused before any body is read.
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (request.method != "GET" && request.method != "HEAD") {
          response.status = 405;
          response.set_header("Allow", "GET, HEAD");
          response.set_header("Connection", "close");
          response.set_content("Only GET and HEAD are answered here.\n", "text/plain");
          return httplib::Server::HandlerResponse::Handled;
        }
        const std::string host = HostName(request.get_header_value("Host"));
        if (!request.has_header("Host") || IsAddressLiteral(host) ||
            std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end()) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 421;
        response.set_content("This archive is not served under the name '" + host +
                                 "'; serve it with --allow-host " + host + " to allow that.\n",
                             "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      });
  server_->set_expect_100_continue_handler([](const httplib::Request& request, httplib::Response&) {
    return request.method == "GET" || request.method == "HEAD" ? 100 : 405;
  });
  server_->set_default_headers({{"Content-Security-Policy",
                                 "default-src 'none'; style-src 'unsafe-inline'; "
                                 "frame-ancestors 'none'; form-action 'self'"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Referrer-Policy", "no-referrer"}});
}
