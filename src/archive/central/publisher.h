#ifndef QUELLOR_ARCHIVE_CENTRAL_PUBLISHER_H_
#define QUELLOR_ARCHIVE_CENTRAL_PUBLISHER_H_

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/central/central_commands.h"
#include "archive/central/db_connection.h"

// True when name can name a plant: 1 to 64 letters, digits, "-", "_", ".",
// not starting with "." (it is the first level of the web view's paths).
bool PlantNameIsValid(const std::string& name);

// Copies a data folder's reports into the central database, keyed by plant
// and file: a report already there is sent again only when its files
// changed, so reruns, crashes and two publishers on one folder neither
// duplicate nor lose one. Reports are sent in batches, one transaction each.
class Publisher {
 public:
  // log gets one line when the database goes away and one when it is back,
  // and the files that cannot be read.
  Publisher(PublishOptions options, std::ostream& log);

  // Publishes until done (or, with follow, until the process ends),
  // retrying a lost connection with back-off. The exit status: 0 when
  // every report is published, 1 when one could not be read or the
  // database stayed away.
  int Run();

  // Reports sent by this object (new or changed) and found published.
  size_t sent() const { return sent_; }
  size_t found() const { return found_; }

 private:
  struct Pending;  // one report to send

  void Connect();
  // Publishes what changed since the last pass; false when a file could not
  // be read. Raises DbError.
  bool Pass();
  // Publishes month's reports not yet published as they are; false when one
  // could not be read.
  bool PublishMonth(const MonthFolder& month);
  void Send(const std::vector<Pending>& batch);

  const PublishOptions options_;
  std::ostream& log_;
  std::unique_ptr<DbConnection> db_;
  std::map<std::string, std::string> published_;  // "2005/Jan/F.xml" -> stamp
  // Month folders found fully published, with their time of change then.
  std::map<std::string, std::filesystem::file_time_type> settled_;
  size_t sent_ = 0, found_ = 0;
};

#endif  // QUELLOR_ARCHIVE_CENTRAL_PUBLISHER_H_
