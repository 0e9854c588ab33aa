#include "archive/archive_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/text_helpers.h"
#include "support/sample_archive.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kJanAlarm = "/2005/Jan/ProcessAlarmJournal_03Jan05_080000.htm";

class ArchiveServerTest : public ::testing::Test {
 protected:
  ArchiveServerTest() : client_("127.0.0.1", served_.port()) {}

  // The body of a 200 answer to path; "" and a failure otherwise.
  std::string Get(const std::string& path) {
    auto answer = client_.Get(path);
    if (!answer) {
      ADD_FAILURE() << path << ": no answer";
      return "";
    }
    EXPECT_EQ(answer->status, 200) << path;
    return answer->body;
  }

  ServedArchive served_;
  httplib::Client client_;
};

TEST_F(ArchiveServerTest, ListsFiltersAndShowsReports) {
  EXPECT_NE(Get("/").find("<a href=\"/2004/Nov/\">Nov</a>"), std::string::npos);
  const std::string month = Get("/2005/Jan/");
  EXPECT_NE(month.find("<td>03 Jan 2005  08:00:00</td><td>ProcessAlarmJournal</td>"),
            std::string::npos);
  EXPECT_NE(month.find("ProcessAlarmJournal_03Jan05_080000_2.htm"), std::string::npos);
  const std::string filtered = Get("/2005/Jan/?journal=SystemErrorJournal");
  EXPECT_NE(filtered.find("<td>SystemErrorJournal</td>"), std::string::npos);
  EXPECT_EQ(filtered.find("<td>ProcessAlarmJournal</td>"), std::string::npos);
  EXPECT_EQ(Get(kJanAlarm), CodePageToUtf8(ReadBytes(served_.archive() / kJanAlarm.substr(1))));
  const std::string found = Get("/search?q=FIC-9901&from=2005-01-01&to=2005-01-31");
  EXPECT_NE(found.find("FIC-9901  FLOW HIGH &lt;10%&gt; &amp; rising"), std::string::npos);
  EXPECT_EQ(found.find("ProcessAlarmJournal_03Dec04"), std::string::npos);
}

TEST_F(ArchiveServerTest, ListsAMonthWithABrokenIndexFromItsFiles) {
  WriteBytes(served_.archive() / "2004/Dec/dir.xml", "<Reports><Report>");
  const std::string month = Get("/2004/Dec/");
  EXPECT_NE(month.find("cannot be read"), std::string::npos);
  EXPECT_NE(month.find("SystemErrorJournal_05Dec04_091007.htm"), std::string::npos);
}

TEST_F(ArchiveServerTest, ServesNothingOutsideTheReports) {
  TempFolder outside;
  WriteBytes(outside / "Secret_01Jan05_000000.htm", "secret");
  std::error_code no_links;  // where symbolic links cannot be made, those cases are moot
  fs::create_symlink(outside / "Secret_01Jan05_000000.htm",
                     served_.archive() / "2005/Jan/Secret_01Jan05_000000.htm", no_links);
  fs::create_directory(served_.archive() / "2006");
  fs::create_directory_symlink(outside.path(), served_.archive() / "2006/Jan", no_links);
  const std::string refused[] = {"/../" + outside.path(),
                                 "/%2e%2e/%2e%2e/etc/passwd",
                                 "/2005/Jan/..%2f..%2f..%2fetc%2fpasswd",
                                 "/2005/Jan/../../dir.xml",
                                 "//etc/passwd",
                                 "/C:/Windows/win.ini",
                                 "/2005/Jan/dir.xml",
                                 "/2005/Jan/ProcessAlarmJournal_03Jan05_080000.xml",
                                 "/2005/Jan/Secret_01Jan05_000000.htm",
                                 "/2006/Jan/",
                                 "/2006/Jan/Secret_01Jan05_000000.htm",
                                 "/2005/Feb/"};
  for (const std::string& path : refused) {
    auto answer = client_.Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_TRUE(answer->status == 403 || answer->status == 404) << path << ": " << answer->status;
    EXPECT_EQ(answer->body.find("secret"), std::string::npos) << path;
  }
  EXPECT_EQ(client_.Post("/2005/Jan/", "x", "text/plain")->status, 404);
}

TEST_F(ArchiveServerTest, AnswersParallelClients) {
  constexpr int kClients = 8, kRequestsEach = 125;
  const std::string paths[] = {"/", "/2005/Jan/", "/2004/Nov/?journal=ProcessAlarmJournal",
                               kJanAlarm, "/search?q=FLOW"};
  std::atomic<int> failures = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", served_.port());
      for (int i = 0; i < kRequestsEach; ++i) {
        auto answer = client.Get(paths[(c + i) % std::size(paths)]);
        if (!answer || answer->status != 200) ++failures;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
