#ifndef QUELLOR_ARCHIVE_TEXT_INDEX_H_
#define QUELLOR_ARCHIVE_TEXT_INDEX_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"

struct sqlite3;

// A full-text index of the printed lines of a data folder's reports, kept
// as a cache in one SQLite file beside the reports (kTextIndexFileName in the
// data folder, with SQLite's -wal and -shm files). It tells which reports
// may hold a text; the reports themselves stay the only record, so the
// file can be deleted at any time and is made anew. A month counts as
// indexed only while its folder is as it was when it was read: reports
// added since are found by reading that month's files.
class TextIndex {
 public:
  TextIndex() = default;
  TextIndex(const TextIndex&) = delete;
  TextIndex& operator=(const TextIndex&) = delete;
  ~TextIndex();

  // Opens the index of data_folder: for reading only, or to bring it up to
  // date (then a missing, damaged or older index is made anew). False with
  // the reason when it cannot be opened (for reading: also when it is
  // missing).
  bool Open(const std::string& data_folder, bool writable, std::string* error);

  // Reads the reports of every month whose folder changed since it was last
  // read; stops early once *stop is set. Writable only. The bytes of .xml
  // read go to *bytes_read when it is not null. False with the reason when
  // the index cannot be written; a damaged index is removed on the way, so
  // the next Open makes it anew.
  bool Update(const std::atomic<bool>& stop, uint64_t* bytes_read, std::string* error);

  // A report the index lists.
  struct Report {
    std::string file;  // "2005/Jan/Name_03Jan05_080000.xml", spelt as on disk
    std::string name;
    int64_t filed = 0;  // yyyymmddhhnnss * 100 + clash number: sorts as filed
  };

  // The months ("2005/Jan") indexed as their folders are now.
  std::vector<std::string> CurrentMonths();

  // The reports filed from day `from` to day `to` that may hold a line
  // matching: atoms are texts of which a match needs some (none: every
  // report may match), and passes(indexes into atoms of those a report
  // holds) tells whether it may. False with the reason when the index
  // cannot be read.
  bool Candidates(const std::vector<std::string>& atoms,
                  const std::function<bool(const std::vector<int>&)>& passes, const LocalTime& from,
                  const LocalTime& to, std::vector<Report>* reports, std::string* error);

 private:
  // Opens path_ as Open asks, ready for the text table's tokenizer.
  bool OpenFile(bool writable, std::string* error);
  bool Prepare(std::string* error);
  bool UpdateMonth(const std::string& path, const std::string& relative, int year,
                   uint64_t* bytes_read, std::string* error);
  // Runs sql; false with SQLite's message in *error.
  bool Exec(const char* sql, std::string* error);
  void Close();

  std::string path_;
  sqlite3* db_ = nullptr;
  int failure_ = 0;  // SQLite's code of the last failed update
};

// The name of the full-text index file in a data folder.
inline constexpr char kTextIndexFileName[] = "QuellorArchive.index";

#endif  // QUELLOR_ARCHIVE_TEXT_INDEX_H_
