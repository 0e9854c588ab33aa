// The built QuellorArchive run as a script runs it: its exit code, standard
// output and standard error, under the regional settings the service filed in.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "output/report_index.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  int status;
  std::string out, err;
};

// Runs QuellorArchive with args (shell words) in folder under LC_TIME=locale.
Ran Archive(const TempFolder& folder, const std::string& locale, const std::string& args) {
  const std::string command = "cd '" + folder.path() + "' && LC_ALL= LC_TIME=" + locale + " '" +
                              QUELLOR_ARCHIVE_EXE + "' " + args + " >out.txt 2>err.txt </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(folder / "out.txt"),
          ReadBytes(folder / "err.txt")};
}

// The service's regional settings under LC_TIME=locale, until destroyed.
class RegionalLocale {
 public:
  explicit RegionalLocale(const char* locale) {
    setenv("LC_TIME", locale, 1);
    InitMonthNames();
    SetRegional(ReadSystemRegionalSettings());
  }
  ~RegionalLocale() {
    unsetenv("LC_TIME");
    setlocale(LC_TIME, "C");
    SetRegional({});
  }
};

constexpr char kLine[] =
    "  FIC-101  TEMP HIGH  99.9 \xb0"
    "C\r\n";

// Files a process alarm journal at t under LC_TIME=locale.
void File(const std::string& data, const char* locale, const LocalTime& t) {
  RegionalLocale regional(locale);
  WriteReportAt(data, "ProcessAlarmJournal", std::string("\r\n PROCESS ALARM JOURNAL\r\n") + kLine,
                t);
}

class ArchiveCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder_ / "data");
    File(folder_ / "data", "de_DE.UTF-8", {2024, 3, 10, 8, 0, 0});
    for (const char* locale : {"de_DE.UTF-8", "C"}) {
      File(folder_ / "data", locale, {2024, 5, 2, 9, 0, 0});
      File(folder_ / "data", locale, {2024, 5, 2, 9, 0, 0});
    }
  }

  TempFolder folder_;
};

TEST_F(ArchiveCliTest, FindsReportsFiledUnderRegionalSettings) {
  const Ran found = Archive(folder_, "de_DE.UTF-8", "search data FIC-101 --from 2024-03-01");
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_NE(found.out.find("10 M\xc3\xa4r 2024  08:00:00  data/2024/Mar/"
                           "ProcessAlarmJournal_10M\xc3\xa4r24_080000.xml: "
                           "  FIC-101  TEMP HIGH  99.9 \xc2\xb0"
                           "C"),
            std::string::npos)
      << found.out;

  fs::remove(folder_ / "data/2024/May/dir.xml");
  // A control character cannot stand in XML, even escaped.
  fs::copy_file(folder_ / "data/2024/May/ProcessAlarmJournal_02May24_090000.xml",
                folder_ / "data/2024/May/Bell\x07_02May24_090000.xml");
  const Ran rebuilt = Archive(folder_, "de_DE.UTF-8", "reindex data/2024/May");
  EXPECT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_NE(rebuilt.out.find("rebuilt with 4 reports"), std::string::npos) << rebuilt.out;
  EXPECT_NE(rebuilt.out.find("left out Bell\x07_02May24_090000.xml"), std::string::npos);
  fs::remove(folder_ / "data/2024/May/Bell\x07_02May24_090000.xml");
  const Ran verified = Archive(folder_, "de_DE.UTF-8", "verify data");
  EXPECT_EQ(verified.status, 0) << verified.out;
  EXPECT_NE(verified.out.find("2 month folders, 5 reports: no problems"), std::string::npos)
      << verified.out;
}

TEST_F(ArchiveCliTest, AnswersAsScriptsExpect) {
  const std::string march = "data/2024/Mar/ProcessAlarmJournal_10M\xc3\xa4r24_080000.xml";
  struct Case {
    std::string args;
    int status;
    std::string out;  // the whole standard output, or its start when it ends in "..."
  };
  const Case cases[] = {
      {"--help", 0, "Checks, rebuilds, searches, serves and publishes the reports..."},
      {"search --help", 0, "Print the printed lines of the reports that hold TEXT..."},
      {"--version", 0, "QuellorArchive 1..."},
      {"search data NOTHING", 1, ""},
      {"search missing FIC-101", 2, ""},
      {"search data '(' --regex", 2, ""},
      {"search data FIC-101 --to 2024-02-30", 2, ""},
      {"search data FIC-101 --from 2024-03-02 --to 2024-03-01", 2, ""},
      {"search data FIC-10 -w", 1, ""},
      {"search data fic-101 -i -w -c", 0, "5\n"},
      {"search data '99.9 \xc2\xb0"
       "C' -l --to 2024-03-31",
       0, march + "\n"},
      {"search data FIC-101 --json --to 2024-03-31", 0,
       "{\"timestamp\":\"10 M\xc3\xa4r 2024  08:00:00\",\"file\":\"" + march +
           "\",\"line\":\"  FIC-101  TEMP HIGH  99.9 \xc2\xb0"
           "C\"}\n"},
      {"verify data/2024", 2, ""},
      {"reindex data", 2, ""},
      {"bogus data", 2, ""},
  };
  for (const Case& c : cases) {
    const Ran ran = Archive(folder_, "de_DE.UTF-8", c.args);
    EXPECT_EQ(ran.status, c.status) << c.args << "\n" << ran.err;
    if (c.out.ends_with("...")) {
      EXPECT_TRUE(ran.out.starts_with(c.out.substr(0, c.out.size() - 3))) << c.args << ran.out;
    } else {
      EXPECT_EQ(ran.out, c.out) << c.args;
    }
    // Standard error holds the error, or at most a note on the search index.
    const bool quiet = ran.err.empty() || ran.err.find("search index") != std::string::npos;
    EXPECT_EQ(quiet, c.status != 2) << c.args << ": " << ran.err;
  }
}

// Reindex and the service exclude each other on a month's index: while one
// holds its lock the other waits, and neither loses the other's work.
TEST_F(ArchiveCliTest, ReindexAndTheServiceWaitForTheIndexLock) {
  const std::string index = folder_ / "data/2024/May/dir.xml";
  auto held = std::make_unique<FileLock>(IndexLockPath(index));
  std::atomic<int> done = 0;
  std::thread reindex([&] {
    EXPECT_EQ(Archive(folder_, "de_DE.UTF-8", "reindex data/2024/May").status, 0);
    ++done;
  });
  std::thread service([&] {
    WriteReportAt(folder_ / "data", "SystemErrorJournal", "\r\n SYSTEM ERROR\r\n",
                  {2024, 5, 3, 0, 0, 0});
    ++done;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(done, 0);
  held.reset();
  reindex.join();
  service.join();
  std::vector<IndexEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadIndex(index, &entries, &error)) << error;
  EXPECT_EQ(entries.size(), 5u);
}

}  // namespace
