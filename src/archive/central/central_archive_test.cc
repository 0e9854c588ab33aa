// publish and the central database end to end, against a PostgreSQL server
// of the test's own: QuellorArchive runs as a process where the process is
// what is tested (killed, following a restarted server), the library where
// only the result is.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "archive/archive_server.h"
#include "archive/central/central_schema.h"
#include "archive/central/central_search.h"
#include "archive/central/central_source.h"
#include "archive/central/central_text.h"
#include "archive/central/db_connection.h"
#include "output/report_path.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "support/log_target.h"
#include "support/private_postgres.h"
#include "support/sample_archive.h"
#include "support/wait_for.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr int kSampleReports = 19;  // SampleArchive's
constexpr auto kPatience = std::chrono::minutes(1);
const std::string kPlantedJan = "2005/Jan/SystemErrorJournal_05Jan05_091007";

SearchQuery Searching(const std::string& text, bool regex = false) {
  SearchQuery query;
  query.text = text;
  query.regex = regex;
  return query;
}

// QuellorArchive run with args, its standard output and error into output;
// killed when the object goes.
class ArchiveProcess {
 public:
  ArchiveProcess(std::vector<std::string> args, const std::string& output) {
    args.insert(args.begin(), QUELLOR_ARCHIVE_EXE);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ArchiveProcess() {
    if (pid_ > 0) Kill(SIGKILL);
  }

  // The exit status; -1 when a signal ended it.
  int Wait() {
    int status = 0;
    waitpid(std::exchange(pid_, 0), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Kill(int signal) {
    kill(pid_, signal);
    Wait();
  }

 private:
  pid_t pid_ = 0;
};

class CentralArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(postgres_.ok());
    db_ = std::make_unique<DbConnection>(postgres_.conninfo());
  }

  std::vector<std::string> PublishArgs(const std::string& folder, const std::string& plant) {
    return {"publish", folder, "--to", postgres_.conninfo(), "--plant", plant};
  }
  int Publish(const std::string& folder, const std::string& plant = "north") {
    return ArchiveProcess(PublishArgs(folder, plant), output_).Wait();
  }

  // The first value of sql's result, with param as $1 if given.
  std::string Query(const std::string& sql, const std::string& param = "") {
    return std::string(
        db_->Exec(sql, param.empty() ? std::vector<DbParam>{} : std::vector<DbParam>{{param}})
            .Value(0, 0));
  }
  // The reports published; 0 before publish made the schema.
  int Count() {
    return SchemaVersion(*db_) == 0 ? 0 : std::stoi(Query("SELECT count(*) FROM reports"));
  }

  PrivatePostgres postgres_;
  TempFolder work_;
  const std::string output_ = work_ / "output";
  std::unique_ptr<DbConnection> db_;
};

TEST_F(CentralArchiveTest, PublishesAFiledArchiveOnceAndAChangedReportAgain) {
  SampleArchive archive;
  ASSERT_EQ(Publish(archive.path()), 0) << ReadBytes(output_);
  ASSERT_EQ(Publish(archive.path()), 0) << ReadBytes(output_);
  EXPECT_THAT(ReadBytes(output_), HasSubstr("19 reports published, 0 found published already\n"
                                            "0 reports published, 19 found published already"));
  const DbResult rows = db_->Exec("SELECT month || '/' || file, htm FROM reports", {}, true);
  ASSERT_EQ(rows.rows(), kSampleReports);
  for (int row = 0; row < rows.rows(); ++row) {
    const std::string xml(rows.Value(row, 0));
    EXPECT_EQ(rows.Value(row, 1), ReadBytes(archive / (xml.substr(0, xml.size() - 4) + ".htm")));
  }
  EXPECT_EQ(Query("SELECT count(*) FROM reports WHERE strpos(lines, $1) > 0", kPlantedLine), "2");

  // A recovered filing completed later: the report's files replaced.
  for (const char* extension : {".xml", ".htm"}) {
    const std::string path = archive / (kPlantedJan + extension);
    std::string text = ReadBytes(path);
    text.insert(text.find("FIC-9901"), "RECOVERED ");
    WriteBytes(path, text);
  }
  ASSERT_EQ(Publish(archive.path()), 0);
  EXPECT_THAT(ReadBytes(output_), HasSubstr("1 reports published, 18 found"));
  EXPECT_EQ(Query("SELECT count(*) FROM reports WHERE strpos(lines, $1) > 0",
                  std::string("RECOVERED ") + (kPlantedLine + 2)),
            "1");
  EXPECT_EQ(Count(), kSampleReports);

  // A password on the command line would show in the process list.
  fs::remove(output_);
  EXPECT_EQ(ArchiveProcess({"publish", archive.path(), "--to",
                            "postgresql://quellor:private-secret@/postgres", "--plant", "x"},
                           output_)
                .Wait(),
            2);
  EXPECT_THAT(ReadBytes(output_), HasSubstr("PGPASSFILE"));
}

TEST_F(CentralArchiveTest, KilledMidwayThenRunTwiceAtOnceLeavesEveryReportOnce) {
  // Many reports: one filed by the writer, copied under the names of the
  // seconds after it.
  constexpr int kReports = 3000;
  TempFolder data;
  InitMonthNames();
  const LocalTime first{2005, 3, 1, 0, 0, 0};
  ASSERT_TRUE(WriteReportAt(data.path(), "ProcessAlarmJournal",
                            "\r\n  PROCESS ALARM JOURNAL\r\n  TIC-1013 HI\r\n", first));
  const std::string month = data / "2005/Mar/";
  const std::string stem =
      month + NewReportPath("ProcessAlarmJournal", first, 1, TextEncoding::kLocal).Stem();
  std::set<std::string> files;
  for (int i = 0; i < kReports; ++i) {
    const LocalTime t{2005, 3, 1, i / 3600, i / 60 % 60, i % 60};
    const std::string name =
        NewReportPath("ProcessAlarmJournal", t, 1, TextEncoding::kLocal).Stem();
    if (i > 0) {
      fs::copy_file(stem + ".xml", month + name + ".xml");
      fs::copy_file(stem + ".htm", month + name + ".htm");
    }
    files.insert("2005/Mar/" + name + ".xml");
  }

  ArchiveProcess killed(PublishArgs(data.path(), "north"), output_);
  ASSERT_TRUE(WaitFor([&] { return Count() > 0; }, kPatience));
  killed.Kill(SIGKILL);
  EXPECT_LT(Count(), kReports);
  ArchiveProcess one(PublishArgs(data.path(), "north"), output_);
  ArchiveProcess other(PublishArgs(data.path(), "north"), output_);
  EXPECT_EQ(one.Wait(), 0);
  EXPECT_EQ(other.Wait(), 0);

  const DbResult rows = db_->Exec("SELECT month || '/' || file FROM reports");
  std::set<std::string> published;
  for (int row = 0; row < rows.rows(); ++row) published.emplace(rows.Value(row, 0));
  EXPECT_EQ(rows.rows(), kReports);
  EXPECT_EQ(published, files);
}

TEST_F(CentralArchiveTest, FollowCarriesOnAcrossAServerRestart) {
  SampleArchive archive;
  std::vector<std::string> args = PublishArgs(archive.path(), "north");
  args.push_back("--follow");
  ArchiveProcess follow(args, output_);
  ASSERT_TRUE(WaitFor([&] { return Count() == kSampleReports; }, kPatience));

  db_.reset();
  ASSERT_TRUE(postgres_.Stop());
  InitMonthNames();
  ASSERT_TRUE(WriteReportAt(archive.path(), "ProcessAlarmJournal",
                            "\r\n  PROCESS ALARM JOURNAL\r\n  FIC-7 HI\r\n",
                            {2005, 2, 1, 8, 0, 0}));
  ASSERT_TRUE(
      WaitFor([&] { return Occurrences(ReadBytes(output_), "unreachable") > 0; }, kPatience));
  ASSERT_TRUE(postgres_.Start());
  db_ = std::make_unique<DbConnection>(postgres_.conninfo());
  EXPECT_TRUE(WaitFor([&] { return Count() == kSampleReports + 1; }, kPatience));
  follow.Kill(SIGTERM);
  const std::string log = ReadBytes(output_);
  EXPECT_EQ(Occurrences(log, "the central database is unreachable"), 1u) << log;
  EXPECT_EQ(Occurrences(log, "the central database is back"), 1u) << log;
}

TEST_F(CentralArchiveTest, SearchesTwoPlantsAtOnce) {
  SampleArchive north, south;
  ASSERT_EQ(Publish(north.path(), "north"), 0);
  ASSERT_EQ(Publish(south.path(), "south"), 0);
  for (const SearchQuery& query :
       {Searching(kPlantedLine), Searching(R"(FIC-99\d+\s+FLOW)", true)}) {
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(SearchCentral(
        *db_, query, "",
        [&](const ReportHits& report) {
          EXPECT_EQ(report.lines.at(0).line, kPlantedLine);
          files.push_back(report.file);
          return true;
        },
        &error));
    EXPECT_THAT(files, ::testing::ElementsAre(
                           "north/" + kPlantedJan + ".xml", "south/" + kPlantedJan + ".xml",
                           "north/2004/Dec/ProcessAlarmJournal_03Dec04_080000.xml",
                           "south/2004/Dec/ProcessAlarmJournal_03Dec04_080000.xml"))
        << query.text;
  }
}

TEST_F(CentralArchiveTest, ServesEveryPlantWithItsReportsAndASearchAcrossThem) {
  SampleArchive north, south;
  ASSERT_EQ(Publish(north.path(), "north"), 0);
  ASSERT_EQ(Publish(south.path(), "south"), 0);
  CentralPlants plants(postgres_.conninfo());
  CentralSource every_plant(postgres_.conninfo(), "");
  ArchiveServer server(every_plant, {}, &plants);
  ASSERT_TRUE(server.Bind("127.0.0.1", 0));
  std::thread serving([&] { server.Run(); });
  ASSERT_TRUE(WaitFor([&] { return server.running(); }, kPatience));
  httplib::Client client("127.0.0.1", server.port());
  const std::string report = "/north/" + kPlantedJan;
  const std::pair<std::string, std::vector<std::string>> pages[] = {
      {"/", {"href=\"/north/\"", "href=\"/south/\""}},
      {"/south/", {"href=\"/south/2005/Jan/\""}},
      {"/north/2005/Jan/", {"href=\"/north/2005/Jan/05/\""}},
      {"/north/2005/Jan/05/", {"href=\"" + report + "\""}},
      {report, {"FIC-9901  FLOW HIGH &lt;10%&gt; &amp; rising", "href=\"/north/2005/Jan/05/\""}},
      {report + ".htm", {"FIC-9901"}},
      {"/search?q=FIC-99%5Cd%2B&regex=1", {report + "?q=", "/south/" + kPlantedJan + "?q="}},
  };
  for (const auto& [path, parts] : pages) {
    const auto answer = client.Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, 200) << path;
    for (const std::string& part : parts) EXPECT_THAT(answer->body, HasSubstr(part)) << path;
  }
  EXPECT_EQ(client.Get("/east/")->status, 404);
  server.Stop();
  serving.join();
}

TEST(DbTextTest, KeepsValidUtf8AndMarksWhatADatabaseTextCannotHold) {
  const std::pair<std::string, std::string> cases[] = {
      {"99.9 \u00b0C \u20ac \U0001F600", "99.9 \u00b0C \u20ac \U0001F600"},
      {std::string("A\0B", 3), "A\u2400B"},
      {"M\xe4r", "M\uFFFDr"},                  // a single-byte code page's letter
      {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},  // a surrogate
      {"\xc3", "\uFFFD"},                      // cut short
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(DbText(text), expected) << text;
}

TEST_F(CentralArchiveTest, UpgradesTheFirstSchemaKeepingItsReports) {
  UpgradeSchema(*db_, 1);
  db_->ExecScript(
      "INSERT INTO reports VALUES ('north', '2005/Jan', 'A_01Jan05_000000.xml', 'A', "
      "'2005-01-01', 'FIC-101 HI', NULL, '-')");
  UpgradeSchema(*db_);
  EXPECT_EQ(SchemaVersion(*db_), LatestSchemaVersion());
  EXPECT_EQ(Query("SELECT count(*) FROM pg_indexes WHERE indexname = "
                  "'reports_lines_trigrams'"),
            "1");
  std::vector<std::string> hits;
  std::string error;
  SearchCentral(
      *db_, Searching("FIC-101"), "north",
      [&](const ReportHits& report) {
        for (const SearchHit& hit : report.lines) hits.push_back(hit.line);
        return true;
      },
      &error);
  EXPECT_THAT(hits, ::testing::ElementsAre("FIC-101 HI"));

  // A schema newer than the program's is left as it is.
  db_->ExecScript("UPDATE quellor_schema SET version = 99");
  EXPECT_THROW(UpgradeSchema(*db_), DbError);
}

}  // namespace
