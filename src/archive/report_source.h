#ifndef QUELLOR_ARCHIVE_REPORT_SOURCE_H_
#define QUELLOR_ARCHIVE_REPORT_SOURCE_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/search.h"
#include "platform/clock.h"

// A filed report as the web view lists it.
struct ReportRef {
  std::string file;  // "2005/Jan/Name_03Jan05_080000.xml"
  std::string name;  // the journal, "ProcessAlarmJournal"
  LocalTime time;
};

// Where the web view reads reports from. The pages only render what a
// source gives; a source may be called from several threads at once.
class ReportSource {
 public:
  virtual ~ReportSource() = default;

  // The months holding reports, newest first (day is unused).
  virtual std::vector<LocalTime> Months() = 0;

  // The reports of a month, oldest first. False when there is no such
  // month. *notice, when set, is shown above them (e.g. how they were
  // listed when the month's own list could not be read).
  virtual bool MonthReports(int year, int month, std::vector<ReportRef>* reports,
                            std::string* notice) = 0;

  // The bytes of a report's file: file is a ReportRef::file with its
  // extension ".xml" or ".htm". False when there is none.
  virtual bool ReportBytes(const std::string& file, std::string* bytes) = 0;

  // A report's printed lines in UTF-8, each ended by "\n": file is a
  // ReportRef::file. False when there is no such report.
  virtual bool ReportText(const std::string& file, std::string* text) = 0;

  // Searches the printed lines as SearchReports does.
  virtual bool Search(const SearchQuery& query,
                      const std::function<bool(const ReportHits&)>& on_report, std::string* note,
                      std::string* error) = 0;
};

// The sources of a view of several plants, each under /PLANT/.
class PlantSources {
 public:
  virtual ~PlantSources() = default;

  // The plants' names, in order.
  virtual std::vector<std::string> Plants() = 0;

  // The reports of plant (their files starting "PLANT/"); of every plant,
  // for a search across them, when plant is "". Null when there is no such
  // plant.
  virtual std::unique_ptr<ReportSource> Plant(const std::string& plant) = 0;
};

#endif  // QUELLOR_ARCHIVE_REPORT_SOURCE_H_
