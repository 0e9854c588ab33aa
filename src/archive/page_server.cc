#include "archive/page_server.h"

#include <httplib.h>

namespace {

// Most search hits one page shows.
constexpr size_t kMaxHits = 1000;

}  // namespace

PageServer::PageServer() : server_(std::make_unique<httplib::Server>()) {
  server_->set_default_headers(
      {{"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"},
       {"X-Content-Type-Options", "nosniff"}});
}

PageServer::~PageServer() = default;

bool PageServer::Bind(const std::string& host, int port) {
  if (port == 0) {
    port_ = server_->bind_to_any_port(host);
    return port_ > 0;
  }
  port_ = port;
  return server_->bind_to_port(host, port);
}

bool PageServer::Run() { return server_->listen_after_bind(); }

bool PageServer::running() const { return server_->is_running(); }

void PageServer::Stop() { server_->stop(); }

SearchForm ReadSearchForm(const httplib::Request& request, std::string* error) {
  SearchForm form;
  form.query.text = request.get_param_value("q");
  form.query.journal = request.get_param_value("journal");
  form.query.regex = request.get_param_value("regex") == "1";
  form.from = request.get_param_value("from");
  form.to = request.get_param_value("to");
  form.searched = !form.query.text.empty();
  if ((!form.from.empty() && !ParseDay(form.from, &form.query.from)) ||
      (!form.to.empty() && !ParseDay(form.to, &form.query.to))) {
    *error = "Dates are written yyyy-mm-dd.";
  }
  return form;
}

void NotFound(httplib::Response& response) {
  response.status = 404;
  response.set_content("Not found\n", "text/plain");
}

std::function<bool(const SearchHit&)> CollectHits(std::vector<SearchHit>* hits, bool* more) {
  return [hits, more](const SearchHit& hit) {
    *more = hits->size() == kMaxHits;
    if (!*more) hits->push_back(hit);
    return !*more;
  };
}
