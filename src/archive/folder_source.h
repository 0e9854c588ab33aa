#ifndef QUELLOR_ARCHIVE_FOLDER_SOURCE_H_
#define QUELLOR_ARCHIVE_FOLDER_SOURCE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "archive/report_source.h"

// The reports of a data folder, read as the service wrote them: months from
// their YEAR/Mon folders, a month's reports from its index (from its files,
// with a notice, when the index cannot be read). Reads nothing outside the
// data folder, links followed; writes nothing but the full-text index.
class FolderSource : public ReportSource {
 public:
  explicit FolderSource(std::string data_folder);
  ~FolderSource() override;

  // Brings the full-text index up to date now and then every interval, in
  // a thread of its own, until destroyed; problems go to standard error.
  void StartIndexing(std::chrono::milliseconds interval);

  std::vector<LocalTime> Months() override;
  bool MonthReports(int year, int month, std::vector<ReportRef>* reports,
                    std::string* notice) override;
  bool ReportBytes(const std::string& file, std::string* bytes) override;
  bool ReportText(const std::string& file, std::string* text) override;
  bool Search(const SearchQuery& query, const std::function<bool(const ReportHits&)>& on_report,
              std::string* note, std::string* error) override;

 private:
  bool FindMonth(int year, int month, MonthFolder* found) const;
  void KeepIndexed(std::chrono::milliseconds interval);

  const std::string data_folder_;
  std::thread indexer_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stop_ = false;
};

// Brings data_folder's full-text index up to date once; false with the
// reason when it cannot. *bytes_read: the .xml bytes read.
bool UpdateTextIndex(const std::string& data_folder, const std::atomic<bool>& stop,
                     uint64_t* bytes_read, std::string* error);

#endif  // QUELLOR_ARCHIVE_FOLDER_SOURCE_H_
