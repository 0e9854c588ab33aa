// The built QuellorArchive run as a script runs it: its exit code, standard
// output and standard error, under the regional settings the service filed in.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "output/report_writer.h"
#include "output/text_helpers.h"
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
  EXPECT_NE(found.out.find("10 M\xc3\xa4r 2024  08:00:00  2024/Mar/"
                           "ProcessAlarmJournal_10M\xc3\xa4r24_080000.xml: "
                           "  FIC-101  TEMP HIGH  99.9 \xc2\xb0"
                           "C"),
            std::string::npos)
      << found.out;

  fs::remove(folder_ / "data/2024/May/dir.xml");
  const Ran rebuilt = Archive(folder_, "de_DE.UTF-8", "reindex data/2024/May");
  EXPECT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_NE(rebuilt.out.find("rebuilt with 4 reports"), std::string::npos) << rebuilt.out;
  const Ran verified = Archive(folder_, "de_DE.UTF-8", "verify data");
  EXPECT_EQ(verified.status, 0) << verified.out;
  EXPECT_NE(verified.out.find("2 month folders, 5 reports: no problems"), std::string::npos)
      << verified.out;
}

}  // namespace
