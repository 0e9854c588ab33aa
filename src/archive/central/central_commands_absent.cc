// The commands of the central database in a build without libpq.

#include <iostream>

#include "archive/central/central_commands.h"

namespace {

constexpr char kAbsent[] =
    "this build has no PostgreSQL client (libpq); publish and serve --db run on Linux";

}  // namespace

int PublishCommand(const PublishOptions&) {
  std::cerr << "QuellorArchive: " << kAbsent << "\n";
  return 2;
}

std::unique_ptr<PlantSources> CentralPlantsFor(const std::string&, std::string* error) {
  *error = kAbsent;
  return nullptr;
}
