#ifndef QUELLOR_TESTS_SUPPORT_SAMPLE_ARCHIVE_H_
#define QUELLOR_TESTS_SUPPORT_SAMPLE_ARCHIVE_H_

#include <memory>
#include <string>
#include <thread>

#include "archive/archive_server.h"
#include "archive/folder_source.h"
#include "support/temp_folder.h"

// The line planted in two reports of SampleArchive: in the process alarm
// journal of 7 Dec 2004 and the system error journal of 9 Jan 2005.
inline constexpr char kPlantedLine[] = "  FIC-9901  FLOW HIGH <10%> & rising";

// A data folder with three months (Nov 2004 to Jan 2005) of the journal
// printer's sample print-outs, filed through WriteReport with a fake clock;
// January also holds two process alarm journals of one second ("_2").
class SampleArchive {
 public:
  // Files the reports once per test program and copies them here.
  SampleArchive();

  // The data folder.
  std::string path() const { return folder_ / "data"; }

  // A file or folder of the data folder, "2005/Jan/dir.xml".
  std::string operator/(const std::string& relative) const {
    return folder_ / ("data/" + relative);
  }

 private:
  TempFolder folder_;
};

// A SampleArchive served on 127.0.0.1 at a free port, until destroyed.
class ServedArchive {
 public:
  explicit ServedArchive(ServerOptions options = {});
  ~ServedArchive();

  const SampleArchive& archive() const { return archive_; }
  int port() const { return server_.port(); }
  // "http://127.0.0.1:PORT".
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port()); }

 private:
  SampleArchive archive_;
  FolderSource source_;
  ArchiveServer server_;
  std::thread thread_;
};

#endif  // QUELLOR_TESTS_SUPPORT_SAMPLE_ARCHIVE_H_
