// The commands of the central database in a build without libpq.

#include <iostream>

#include "archive/central/central_commands.h"

int PublishCommand(const PublishOptions&) {
  std::cerr << "QuellorArchive: this build has no PostgreSQL client (libpq); publish runs on "
               "Linux\n";
  return 2;
}
