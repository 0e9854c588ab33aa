#ifndef QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
#define QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_

#include <memory>
#include <string>

namespace httplib {
class Server;
}

// A read-only web view of a data folder: the years and months, a month's
// reports from its index (or from its files, with a notice, when the index
// cannot be read), a report's page as printed, and a search form. Serves
// nothing but the YEAR/Mon/Name.htm files inside the data folder and pages
// made from them; writes nothing.
class ArchiveServer {
 public:
  // Serves data_folder; nothing is read before a request asks for it.
  explicit ArchiveServer(std::string data_folder);
  ArchiveServer(const ArchiveServer&) = delete;
  ArchiveServer& operator=(const ArchiveServer&) = delete;
  ~ArchiveServer();

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

 private:
  void AddRoutes();

  const std::string data_folder_;
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
};

#endif  // QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
