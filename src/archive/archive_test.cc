#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/folder_source.h"
#include "archive/reindex.h"
#include "archive/search.h"
#include "archive/text_index.h"
#include "archive/verify.h"
#include "platform/file_system.h"
#include "support/sample_archive.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kAlarm = "2005/Jan/ProcessAlarmJournal_03Jan05_080000";
const std::string kAlarm2 = "2005/Jan/ProcessAlarmJournal_04Jan05_000000";
const std::string kPlantedDec = "2004/Dec/ProcessAlarmJournal_03Dec04_080000.xml";
const std::string kPlantedJan = "2005/Jan/SystemErrorJournal_05Jan05_091007.xml";

// Copies the file from to to (both in the data folder), written an hour ago.
void Plant(const SampleArchive& archive, const std::string& from, const std::string& to) {
  fs::remove(archive / to);  // MinGW's copy_file cannot overwrite
  fs::copy_file(archive / from, archive / to);
  fs::last_write_time(archive / to, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

// A temporary file as ReplacingFile leaves it, written age ago.
void PlantTemporary(const SampleArchive& archive, std::chrono::seconds age) {
  const std::string path = TemporaryPath(archive / "2005/Jan/dir.xml", 4242, 1);
  WriteBytes(path, "<?xml");
  fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

struct Fault {
  const char* name;
  void (*plant)(const SampleArchive&);
  const char* problem;  // the one line verify reports; "" for none
};

const Fault kFaults[] = {
    {"clean", [](const SampleArchive&) {}, ""},
    {"missing htm", [](const SampleArchive& a) { fs::remove(a / (kAlarm + ".htm")); },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000.xml: no .htm beside it"},
    {"unlisted report",
     [](const SampleArchive& a) {
       Plant(a, kAlarm + ".xml", kAlarm2 + ".xml");
       Plant(a, kAlarm + ".htm", kAlarm2 + ".htm");
     },
     "2005/Jan/ProcessAlarmJournal_04Jan05_000000.xml: not listed in dir.xml"},
    {"listed file deleted",
     [](const SampleArchive& a) {
       fs::remove(a / (kAlarm + "_2.xml"));
       fs::remove(a / (kAlarm + "_2.htm"));
     },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000_2.xml: listed in dir.xml but missing"},
    {"page without its document",
     [](const SampleArchive& a) { Plant(a, kAlarm + ".htm", kAlarm2 + ".htm"); },
     "2005/Jan/ProcessAlarmJournal_04Jan05_000000.htm: no .xml beside it"},
    {"malformed index",
     [](const SampleArchive& a) { WriteBytes(a / "2004/Nov/dir.xml", "<Reports><Report>"); },
     "2004/Nov/dir.xml: 'DATA/2004/Nov/dir.xml' is not well-formed XML"},
    {"stale temporary file",
     [](const SampleArchive& a) { PlantTemporary(a, std::chrono::hours(1)); },
     "2005/Jan/dir.xml.tmp4242_1: stale temporary file"},
    {"temporary file being written", [](const SampleArchive& a) { PlantTemporary(a, {}); }, ""},
    {"report being filed",
     [](const SampleArchive& a) { WriteBytes(a / "2005/Jan/Z_05Jan05_000000.htm", "<html>"); }, ""},
    {"empty document", [](const SampleArchive& a) { WriteBytes(a / (kAlarm + ".xml"), ""); },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000.xml: empty"},
    {"garbage document",
     [](const SampleArchive& a) { WriteBytes(a / (kAlarm + ".xml"), "garbage"); },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000.xml: not well-formed XML"},
    {"document of another report",
     [](const SampleArchive& a) { Plant(a, kPlantedJan, kAlarm + ".xml"); },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000.xml: does not hold the lines of its .htm"},
    {"page cut short",
     [](const SampleArchive& a) {
       const std::string page = ReadBytes(a / (kAlarm + ".htm"));
       WriteBytes(a / (kAlarm + ".htm"), page.substr(0, page.size() / 2));
     },
     "2005/Jan/ProcessAlarmJournal_03Jan05_080000.htm: not a whole report page (cut short or "
     "changed)"},
    {"time stamp changed",
     [](const SampleArchive& a) {
       std::string index = ReadBytes(a / "2004/Dec/dir.xml");
       index.replace(index.find("2004"), 4, "1999");
       WriteBytes(a / "2004/Dec/dir.xml", index);
     },
     "2004/Dec/ProcessAlarmJournal_03Dec04_080000.xml: dir.xml stamps it '03 Dec 1999  08:00:00', "
     "its file name says '03 Dec 2004  08:00:00'"},
};

TEST(VerifyArchiveTest, ReportsEachPlantedFaultAndNothingElse) {
  for (const Fault& fault : kFaults) {
    SampleArchive archive;
    fault.plant(archive);
    std::ostringstream out;
    size_t problems = 0;
    std::string error;
    ASSERT_TRUE(VerifyArchive(archive.path(), out, &problems, &error)) << error;
    std::string text = out.str();
    for (size_t at; (at = text.find(archive.path())) != std::string::npos;)
      text.replace(at, archive.path().size(), "DATA");
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::string expected =
        std::string(fault.problem) + (*fault.problem ? "\n" : "") + "3 month folders, ";
    EXPECT_EQ(problems, *fault.problem ? 1u : 0u) << fault.name;
    EXPECT_TRUE(text.starts_with(expected)) << fault.name << ":\n" << text;
  }
}

TEST(VerifyArchiveTest, RefusesAFolderThatIsNoDataFolder) {
  SampleArchive archive;
  std::ostringstream out;
  size_t problems = 0;
  std::string error;
  for (const std::string& folder : {archive / "2005/Jan", archive / ".."}) {
    EXPECT_FALSE(VerifyArchive(folder, out, &problems, &error)) << folder;
    EXPECT_NE(error.find("is not a data folder"), std::string::npos) << error;
  }
}

TEST(ReindexMonthTest, RebuildsEveryIndexByteForByte) {
  SampleArchive archive;
  for (const char* month : {"2004/Nov", "2004/Dec", "2005/Jan"}) {
    const std::string index = archive / (std::string(month) + "/dir.xml");
    const std::string written = ReadBytes(index);
    fs::remove(index);
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(ReindexMonth(archive / month, out, &error)) << error;
    EXPECT_EQ(ReadBytes(index), written) << month;
  }
}

// Names as found (escaped as the writer escapes them, a "_02" kept), same-
// second reports in filing order, and an index that already lists the
// month's reports left alone.
TEST(ReindexMonthTest, KeepsNamesAndFilingOrder) {
  SampleArchive archive;
  const std::string month = archive / "2004/Nov";
  const std::string index = month + "/dir.xml";
  for (const char* stem : {"Shift A&B notes_30Nov04_235959", "Name_30Nov04_235959_02"}) {
    fs::copy_file(archive / (kAlarm + ".htm"), month + "/" + stem + ".htm");
    fs::copy_file(archive / (kAlarm + ".xml"), month + "/" + stem + ".xml");
  }
  std::ostringstream out;
  std::string error;
  ASSERT_TRUE(ReindexMonth(month, out, &error)) << error;
  const std::string rebuilt = ReadBytes(index);
  EXPECT_NE(rebuilt.find("<Name>Shift A&amp;B notes</Name>"), std::string::npos) << rebuilt;
  EXPECT_NE(rebuilt.find("<File>Name_30Nov04_235959_02.xml</File>"), std::string::npos);
  EXPECT_LT(rebuilt.find("<File>Shift"), rebuilt.find("<File>Name_"));

  // Filed in the other order: kept so.
  std::string swapped = ReadBytes(index + ".bak");
  swapped.insert(swapped.find("</Reports>"),
                 "<Report><Name>Shift A&amp;B notes</Name><Timestamp>30 Nov 2004  23:59:59"
                 "</Timestamp><File>Shift A&amp;B notes_30Nov04_235959.xml</File></Report>");
  swapped.insert(swapped.find("<Report><Name>Shift"),
                 "<Report><Name>Name</Name><Timestamp>30 Nov 2004  23:59:59</Timestamp>"
                 "<File>Name_30Nov04_235959_02.xml</File></Report>");
  WriteBytes(index, swapped);
  ASSERT_TRUE(ReindexMonth(month, out, &error)) << error;
  EXPECT_EQ(ReadBytes(index), swapped);
  EXPECT_NE(out.str().find("nothing to do"), std::string::npos) << out.str();
  EXPECT_FALSE(fs::exists(index + ".bak2"));
}

TEST(ReindexMonthTest, KeepsABrokenIndexAsBackup) {
  SampleArchive archive;
  const std::string index = archive / "2005/Jan/dir.xml";
  const std::string written = ReadBytes(index);
  WriteBytes(index, "<Reports>");
  std::ostringstream out;
  std::string error;
  ASSERT_TRUE(ReindexMonth(archive / "2005/Jan", out, &error)) << error;
  EXPECT_EQ(ReadBytes(index), written);
  EXPECT_EQ(ReadBytes(index + ".bak"), "<Reports>");
  WriteBytes(index, "<Reports/>");
  ASSERT_TRUE(ReindexMonth(archive / "2005/Jan", out, &error)) << error;
  EXPECT_EQ(ReadBytes(index + ".bak"), "<Reports>") << "an earlier backup is kept";
  EXPECT_EQ(ReadBytes(index + ".bak2"), "<Reports/>");
}

TEST(ReindexMonthTest, RefusesAndChangesNothing) {
  SampleArchive archive;
  fs::create_directory(archive / "2005/Feb");
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(ReindexMonth(archive / "2005/Feb", out, &error));
  EXPECT_EQ(error, "no reports in " + archive / "2005/Feb" + "; nothing changed");
  EXPECT_FALSE(fs::exists(archive / "2005/Feb/dir.xml"));
  EXPECT_FALSE(ReindexMonth(archive.path(), out, &error));
}

SearchQuery Query(const std::string& text, void (*set)(SearchQuery*) = nullptr) {
  SearchQuery query;
  query.text = text;
  if (set != nullptr) set(&query);
  return query;
}

// "timestamp  file: line" of every hit of query; *note: what the search
// said about the full-text index.
std::vector<std::string> Hits(const SampleArchive& archive, const SearchQuery& query,
                              std::string* note = nullptr) {
  std::vector<std::string> hits;
  std::string error, ignored;
  EXPECT_TRUE(SearchReports(
      archive.path(), query,
      [&](const ReportHits& report) {
        for (const SearchHit& hit : report.lines) {
          hits.push_back(hit.timestamp + "  " + hit.file + ": " + hit.line);
        }
        return true;
      },
      note != nullptr ? note : &ignored, &error))
      << error;
  return hits;
}

// Brings the archive's index up to date once its months' folders are past
// the time in which a folder may still change unseen: dated an hour back,
// or (where folder times cannot be set) after waiting that time out.
void BuildIndex(const SampleArchive& archive) {
  std::error_code cannot_set;
  for (const char* month : {"2004/Nov", "2004/Dec", "2005/Jan"}) {
    fs::last_write_time(archive / month, fs::file_time_type::clock::now() - std::chrono::hours(1),
                        cannot_set);
  }
  if (cannot_set) std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  std::string error;
  const std::atomic<bool> go_on = false;
  EXPECT_TRUE(UpdateTextIndex(archive.path(), go_on, nullptr, &error)) << error;
}

TEST(SearchArchiveTest, FindsPrintedLinesWithinTheFilters) {
  SampleArchive archive;
  const std::string jan = "05 Jan 2005  09:10:07  " + kPlantedJan + ": " + kPlantedLine;
  const std::string dec = "03 Dec 2004  08:00:00  " + kPlantedDec + ": " + kPlantedLine;
  struct Case {
    SearchQuery query;
    std::vector<std::string> hits;
  };
  const Case cases[] = {
      {Query("FIC-9901"), {jan, dec}},
      {Query("<10%> & rising"), {jan, dec}},
      {Query("amp;"), {}},
      {Query("Line>"), {}},
      {Query(R"(FIC-\d+ +FLOW)", [](SearchQuery* q) { q->regex = true; }), {jan, dec}},
      {Query("FIC-9901",
             [](SearchQuery* q) {
               q->from = {2005, 1, 1};
             }),
       {jan}},
      {Query("FIC-9901",
             [](SearchQuery* q) {
               q->to = {2004, 12, 3};
             }),
       {dec}},
      {Query("FIC-9901",
             [](SearchQuery* q) {
               q->to = {2004, 12, 2};
             }),
       {}},
      {Query("FIC-9901", [](SearchQuery* q) { q->journal = "ProcessAlarmJournal"; }), {dec}},
  };
  for (bool indexed : {false, true}) {
    if (indexed) BuildIndex(archive);
    for (const Case& c : cases) {
      std::string note;
      EXPECT_EQ(Hits(archive, c.query, &note), c.hits) << c.query.text << " " << indexed;
      EXPECT_EQ(note.empty(), indexed) << note;
    }
  }
}

// The full-text index is a cache: whatever became of it, a search finds
// what the reports hold, and the next update makes it whole again.
TEST(SearchArchiveTest, FindsEverythingWhateverBecameOfTheIndex) {
  const struct {
    const char* name;
    void (*change)(const SampleArchive&);
  } cases[] = {
      {"deleted", [](const SampleArchive& a) { fs::remove(a / kTextIndexFileName); }},
      {"damaged",
       [](const SampleArchive& a) {
         std::string bytes = ReadBytes(a / kTextIndexFileName);
         WriteBytes(a / kTextIndexFileName, bytes.replace(100, 4000, 4000, 'x'));
       }},
      {"behind",
       [](const SampleArchive& a) {
         fs::copy_file(a / kPlantedJan, a / "2005/Jan/SystemErrorJournal_06Jan05_000000.xml");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SampleArchive archive;
    BuildIndex(archive);
    c.change(archive);
    std::string note;
    const size_t expected = std::string(c.name) == "behind" ? 3 : 2;
    EXPECT_EQ(Hits(archive, Query("FIC-9901"), &note).size(), expected) << c.name;
    EXPECT_FALSE(note.empty()) << c.name;
    BuildIndex(archive);
    EXPECT_EQ(Hits(archive, Query("FIC-9901"), &note).size(), expected) << c.name;
  }
}

// Expressions run in linear time, also over lines far longer than printed.
TEST(SearchArchiveTest, MatchesLongLinesInLinearTime) {
  SampleArchive archive;
  WriteBytes(archive / "2005/Jan/Long_20Jan05_000000.xml",
             "<Report><Line>" + std::string(50000, ' ') + "FIC-77 tail</Line></Report>");
  const std::pair<const char*, size_t> cases[] = {{"( *)*X", 0}, {"^ *FIC-7+ tail$", 1}};
  for (const auto& [pattern, hits] : cases) {
    SearchQuery query = Query(pattern);
    query.regex = true;
    query.journal = "Long";
    EXPECT_EQ(Hits(archive, query).size(), hits) << pattern;
  }
}

// The index keeps each of a report's thousands of texts, folded alike.
TEST(SearchArchiveTest, IndexFindsEachTextOfALongReport) {
  SampleArchive archive;
  // Line n holds a word of three letters of its own.
  auto word = [](int n) {
    return std::string{char('a' + n % 26), char('a' + n / 26 % 26), char('a' + n / 676)};
  };
  std::string xml = "<Report>";
  for (int n = 0; n < 3000; ++n) {
    xml += "<Line>TAG-" + std::to_string(n) + " " + word(n) +
           " Gr\xFC\xDF"
           "e</Line>";
  }
  WriteBytes(archive / "2005/Jan/Long_20Jan05_000000.xml", xml + "</Report>");
  BuildIndex(archive);
  const std::pair<SearchQuery, size_t> cases[] = {
      {Query(" " + word(2999) + " "), 1},
      {Query("tag-1234 " + word(1234), [](SearchQuery* q) { q->ignore_case = true; }), 1},
      {Query("GR\xC3\x9C\xC3\x9F", [](SearchQuery* q) { q->ignore_case = true; }), 3000}};
  for (const auto& [query, hits] : cases) {
    std::string note;
    EXPECT_EQ(Hits(archive, query, &note).size(), hits) << query.text;
    EXPECT_EQ(note, "") << query.text;
  }
}

TEST(SearchArchiveTest, RefusesAnInvalidExpression) {
  SampleArchive archive;
  std::string error;
  EXPECT_FALSE(SearchReports(
      archive.path(), Query("(", [](SearchQuery* q) { q->regex = true; }),
      [](const ReportHits&) { return true; }, nullptr, &error));
  EXPECT_NE(error.find("invalid regular expression"), std::string::npos);
}

}  // namespace
