#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_COMMANDS_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_COMMANDS_H_

#include <memory>
#include <string>

#include "archive/report_source.h"

// The commands of the central database: built where libpq is found (Linux);
// elsewhere they say so and fail.

// What publish is asked to do.
struct PublishOptions {
  std::string data_folder;
  std::string conninfo;  // a postgresql:// URL or key=value words
  std::string plant;     // 1 to 64 letters, digits, "-", "_", "."; not "." first
  bool follow = false;   // keep publishing new and changed reports
};

// publish: copies the data folder's reports into the central database; the
// exit status (2 for a plant name that cannot be one).
int PublishCommand(const PublishOptions& options);

// serve --db: the plants of the central database, or null with the reason
// in *error.
std::unique_ptr<PlantSources> CentralPlantsFor(const std::string& conninfo, std::string* error);

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_COMMANDS_H_
