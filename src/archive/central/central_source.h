#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SOURCE_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SOURCE_H_

#include <memory>
#include <string>
#include <vector>

#include "archive/report_source.h"

// The reports of one plant in the central database (their files starting
// "PLANT/"), or of every plant when plant is "" (for a search across them).
// A report's text is its printed lines as published; there is no .xml file.
// Each call opens a connection of its own; while the database is away the
// months and reports are empty and a search says why.
class CentralSource : public ReportSource {
 public:
  CentralSource(std::string conninfo, std::string plant);

  std::vector<LocalTime> Months() override;
  bool MonthReports(int year, int month, std::vector<ReportRef>* reports,
                    std::string* notice) override;
  bool ReportBytes(const std::string& file, std::string* bytes) override;
  bool ReportText(const std::string& file, std::string* text) override;
  bool Search(const SearchQuery& query, const std::function<bool(const ReportHits&)>& on_report,
              std::string* note, std::string* error) override;

 private:
  // The plant's row of file ("PLANT/2005/Jan/Name.xml" or ".htm") with
  // column ("lines" or "htm") in *value; false when there is none.
  bool ReportColumn(const std::string& file, const std::string& column, std::string* value);

  const std::string conninfo_, plant_;
};

// The plants of the central database, each a CentralSource.
class CentralPlants : public PlantSources {
 public:
  explicit CentralPlants(std::string conninfo);

  std::vector<std::string> Plants() override;
  std::unique_ptr<ReportSource> Plant(const std::string& plant) override;

 private:
  const std::string conninfo_;
};

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SOURCE_H_
