#ifndef QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
#define QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_

#include <string>

#include "archive/page_server.h"

// A read-only web view of a data folder: the years and months, a month's
// reports from its index (or from its files, with a notice, when the index
// cannot be read), a report's page as printed, and a search form. Serves
// nothing but the YEAR/Mon/Name.htm files inside the data folder and pages
// made from them; writes nothing.
class ArchiveServer : public PageServer {
 public:
  // Serves data_folder; nothing is read before a request asks for it.
  explicit ArchiveServer(std::string data_folder);

 private:
  void AddRoutes();

  const std::string data_folder_;
};

#endif  // QUELLOR_ARCHIVE_ARCHIVE_SERVER_H_
