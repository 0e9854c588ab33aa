#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SERVER_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SERVER_H_

#include <string>

#include "archive/page_server.h"

// The read-only web view of the central database: every plant, under each
// the same pages as for a data folder (/PLANT/YEAR/Mon/...), and a search
// across plants. A report's page shows its printed lines as published.
// Each request opens a connection of its own; while the database is away
// the pages say so (503).
class CentralServer : public PageServer {
 public:
  explicit CentralServer(std::string conninfo);

 private:
  void AddRoutes();

  const std::string conninfo_;
};

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SERVER_H_
