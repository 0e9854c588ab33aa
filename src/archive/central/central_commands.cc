#include "archive/central/central_commands.h"

#include <iostream>

#include "archive/central/central_source.h"
#include "archive/central/db_connection.h"
#include "archive/central/publisher.h"

int PublishCommand(const PublishOptions& options) {
  if (!PlantNameIsValid(options.plant)) {
    std::cerr << "QuellorArchive: a plant is named with 1 to 64 letters, digits, \"-\", \"_\" "
                 "and \".\", not starting with \".\"\n";
    return 2;
  }
  try {
    CheckConnectionString(options.conninfo);
  } catch (const DbError& error) {
    std::cerr << "QuellorArchive: " << error.what() << "\n";
    return 2;
  }
  Publisher publisher(options, std::cerr);
  const int status = publisher.Run();
  std::cout << publisher.sent() << " reports published, " << publisher.found()
            << " found published already" << std::endl;
  return status;
}

std::unique_ptr<PlantSources> CentralPlantsFor(const std::string& conninfo, std::string* error) {
  try {
    CheckConnectionString(conninfo);
  } catch (const DbError& problem) {
    *error = problem.what();
    return nullptr;
  }
  return std::make_unique<CentralPlants>(conninfo);
}
