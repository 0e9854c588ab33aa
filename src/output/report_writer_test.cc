#include "output/report_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "support/fake_platform.h"
#include "support/log_target.h"
#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;

const std::string kName = "ProcessAlarmJournal";
const std::string kStem = "ProcessAlarmJournal_24Jan05_195034";
const std::string kDeclaration = "<?xml version=\"1.0\"?>\r\n";

// The index as its month's first report creates it.
std::string FirstIndex(const std::string& name, const std::string& timestamp,
                       const std::string& file) {
  return kDeclaration + "<Reports>\r\n<Report>\r\n<Name>" + name + "</Name>\r\n<Timestamp>" +
         timestamp + "</Timestamp>\r\n<File>" + file + "</File>\r\n</Report>\r\n</Reports>\r\n\r\n";
}

// An entry as appended to an existing index.
std::string AppendedEntry(const std::string& name, const std::string& timestamp,
                          const std::string& file) {
  return "<Report>\r\n\t<Name>" + name + "</Name>\r\n\t<Timestamp>" + timestamp +
         "</Timestamp>\r\n\t<File>" + file + "</File>\r\n</Report>";
}

std::string Html(const std::string& body) {
  return "<html><head><title>ProcessAlarmJournal</title></head><body><pre>" + body +
         "</pre></body></html>\r\n";
}

class ReportWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { InitMonthNames(); }
  void TearDown() override { SetRegional({}); }

  void Write(const std::string& name = kName, const std::string& text = "Line\r\n") {
    WriteReport(data_.path(), name, text, clock_);
  }

  // The path of file in the month folder ("YEAR/Mon").
  std::string InMonth(const std::string& file, const std::string& month = "2005/Jan") const {
    return data_ / (month + "/" + file);
  }

  std::string Log() const { return log_target_.Text(); }

  // The File of every entry of the month's index, in document order.
  std::vector<std::string> IndexedFiles(const std::string& month = "2005/Jan") const {
    pugi::xml_document index;
    EXPECT_TRUE(index.load_file(InMonth("dir.xml", month).c_str()));
    std::vector<std::string> files;
    for (pugi::xml_node report : index.document_element().children("Report")) {
      files.push_back(report.child_value("File"));
    }
    return files;
  }

  // Asserts that the log holds exactly one line, naming all of parts.
  void ExpectOneLogLineNaming(const std::vector<std::string>& parts) const {
    std::string log = Log();
    EXPECT_EQ(Occurrences(log, "\r\n"), 1u) << log;
    for (const std::string& part : parts) EXPECT_NE(log.find(part), std::string::npos) << log;
  }

  TempFolder data_;
  TempFolder log_;
  FakeClock clock_{{2005, 1, 24, 19, 50, 34}};
  ScopedLogTarget log_target_{log_.path(), clock_};
};

struct FileCase {
  const char* label;
  std::string text;
  std::string xml;
  std::string html;
};

void PrintTo(const FileCase& file_case, std::ostream* out) { *out << file_case.label; }

class ReportFilesTest : public ReportWriterTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ReportFilesTest, BothFilesAreByteExact) {
  Write(kName, GetParam().text);
  EXPECT_EQ(ReadBytes(InMonth(kStem + ".xml")), GetParam().xml);
  EXPECT_EQ(ReadBytes(InMonth(kStem + ".htm")), GetParam().html);
  EXPECT_EQ(Log(), "") << "a stored report is not logged";
}

const std::string kLongLine(100000, 'x');

// Long reports are handled in pieces; a line of first_line_length characters
// puts its CR LF on, around or across a piece boundary.
FileCase AcrossPieces(const char* label, size_t first_line_length, bool final_break) {
  const std::string first(first_line_length, 'a');
  const std::string last(70000, 'z');
  const std::string end = final_break ? "\r\n" : "";
  return {label, first + "\r\n<&>\r\n" + last + end,
          kDeclaration + "<Report><Line>\r\n" + first +
              "</Line>\r\n<Line>&lt;&amp;&gt;</Line>\r\n<Line>" + last +
              (final_break ? "</Line>\r\n</Report>\r\n" : "</Line></Report>\r\n"),
          Html(first + "\r\n&lt;&amp;&gt;\r\n" + last + end)};
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReportFilesTest,
    ::testing::Values(
        FileCase{"TwoLines", "First line\r\nSecond line\r\n",
                 kDeclaration +
                     "<Report><Line>\r\nFirst line</Line>\r\n<Line>Second line</Line>\r\n"
                     "</Report>\r\n",
                 Html("First line\r\nSecond line\r\n")},
        FileCase{"NoFinalLineBreak", "First\r\nLast",
                 kDeclaration + "<Report><Line>\r\nFirst</Line>\r\n<Line>Last</Line></Report>\r\n",
                 Html("First\r\nLast")},
        FileCase{"Empty", "", kDeclaration + "<Report><Line>\r\n</Line></Report>\r\n", Html("")},
        FileCase{"DoubleLineBreak", "A\r\n\r\nB\r\n",
                 kDeclaration + "<Report><Line>\r\nA</Line>\r\n<Line></Line>\r\n<Line>B</Line>\r\n"
                                "</Report>\r\n",
                 Html("A\r\n\r\nB\r\n")},
        FileCase{"LeadingLineBreak", "\r\nTitle\r\n",
                 kDeclaration + "<Report><Line>\r\n</Line>\r\n<Line>Title</Line>\r\n</Report>\r\n",
                 Html("\r\nTitle\r\n")},
        FileCase{"Escaping", "a<b & c>d \"q\" 'p' &lt;\r\n",
                 kDeclaration +
                     "<Report><Line>\r\na&lt;b &amp; c&gt;d \"q\" 'p' &amp;lt;</Line>\r\n"
                     "</Report>\r\n",
                 Html("a&lt;b &amp; c&gt;d \"q\" 'p' &amp;lt;\r\n")},
        FileCase{"ControlCharactersKept", "\fPAGE\t2\x01\0end\r\n"s,
                 kDeclaration + "<Report><Line>\r\n\fPAGE\t2\x01\0end</Line>\r\n</Report>\r\n"s,
                 Html("\fPAGE\t2\x01\0end\r\n"s)},
        FileCase{"LongLineKeptWhole", kLongLine,
                 kDeclaration + "<Report><Line>\r\n" + kLongLine + "</Line></Report>\r\n",
                 Html(kLongLine)},
        AcrossPieces("CrLastInPiece", 65535, true), AcrossPieces("CrLfEndsPiece", 65534, false),
        AcrossPieces("CrLfStartsPiece", 65536, true),
        FileCase{"FinalCrLfAtPieceEnd", std::string(65535, 'a') + "\r\n",
                 kDeclaration + "<Report><Line>\r\n" + std::string(65535, 'a') +
                     "</Line>\r\n</Report>\r\n",
                 Html(std::string(65535, 'a') + "\r\n")}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return info.param.label; });

TEST_F(ReportWriterTest, FirstReportOfAMonthWritesTheNineLineIndex) {
  Write();
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")),
            FirstIndex(kName, "24 Jan 2005  19:50:34", kStem + ".xml"));
}

TEST_F(ReportWriterTest, SecondReportIsAppendedAfterTheFirst) {
  Write();
  clock_.Set({2005, 1, 24, 19, 51, 0});
  Write("SystemErrorJournal");

  std::string index = ReadBytes(InMonth("dir.xml"));
  std::string first_entry =
      "<Report>\r\n<Name>ProcessAlarmJournal</Name>\r\n"
      "<Timestamp>24 Jan 2005  19:50:34</Timestamp>\r\n"
      "<File>ProcessAlarmJournal_24Jan05_195034.xml</File>\r\n</Report>";
  std::string second_entry = AppendedEntry("SystemErrorJournal", "24 Jan 2005  19:51:00",
                                           "SystemErrorJournal_24Jan05_195100.xml");
  EXPECT_EQ(index.rfind(kDeclaration, 0), 0u) << index;
  EXPECT_LT(index.find(first_entry), index.find(second_entry)) << index;
  EXPECT_NE(index.find(second_entry + "</Reports>"), std::string::npos) << index;
  EXPECT_EQ(IndexedFiles(),
            (std::vector<std::string>{kStem + ".xml", "SystemErrorJournal_24Jan05_195100.xml"}));
}

TEST_F(ReportWriterTest, TenReportsGiveTenEntriesOldestFirst) {
  std::vector<std::string> expected;
  for (int i = 0; i < 10; ++i) {
    clock_.Set({2005, 1, 24, 20, i, 0});
    std::string name = i % 2 ? "OperatorMessageJournal" : kName;
    Write(name);
    expected.push_back(name + "_24Jan05_200" + std::to_string(i) + "00.xml");
  }
  std::string index = ReadBytes(InMonth("dir.xml"));
  EXPECT_EQ(IndexedFiles(), expected);
  for (const std::string& file : expected) EXPECT_TRUE(FileExists(InMonth(file))) << file;
  EXPECT_NE(index.find(AppendedEntry("OperatorMessageJournal", "24 Jan 2005  20:01:00",
                                     "OperatorMessageJournal_24Jan05_200100.xml")),
            std::string::npos)
      << "an appended entry keeps its bytes through later updates:\n"
      << index;
  EXPECT_EQ(Occurrences(index, "\r\n\t<Name>"), 9u) << index;
}

TEST_F(ReportWriterTest, IndexesOfAnyShapeGetTheEntryAsTheirLastChild) {
  const std::string old_entry = "<Report><Name>Old</Name></Report>";
  const std::string indexes[] = {
      kDeclaration + "<Reports/>\r\n",
      kDeclaration + "<Reports>" + old_entry + "</Reports >\n<!-- kept -->\n",
      "<Index>\n  " + old_entry + "\n</Index>",
      // Written on a system with a single-byte code page: "M\xe4r" is not UTF-8.
      kDeclaration + "<Reports>" + old_entry +
          "<Report><Timestamp>01 M\xe4r 2005</Timestamp></Report>\r\n</Reports>",
  };
  const std::string entry = AppendedEntry(kName, "24 Jan 2005  19:50:34", kStem + ".xml");
  for (const std::string& before : indexes) {
    std::filesystem::remove_all(data_ / "2005");
    std::filesystem::create_directories(data_ / "2005/Jan");
    WriteBytes(InMonth("dir.xml"), before);
    Write();
    std::string after = ReadBytes(InMonth("dir.xml"));
    EXPECT_NE(after.find(entry), std::string::npos) << before << "\n---\n" << after;
    std::vector<std::string> files = IndexedFiles();
    ASSERT_FALSE(files.empty()) << after;
    EXPECT_EQ(files.back(), kStem + ".xml") << after;
    EXPECT_EQ(files.size(), Occurrences(before, "<Report>") + 1) << after;
  }
  EXPECT_EQ(Log(), "");
}

struct IndexCase {
  const char* label;
  std::string index;
};

void PrintTo(const IndexCase& index_case, std::ostream* out) { *out << index_case.label; }

class MalformedIndexTest : public ReportWriterTest,
                           public ::testing::WithParamInterface<IndexCase> {};

TEST_P(MalformedIndexTest, IsLeftAloneButTheReportIsStoredAndLogged) {
  std::filesystem::create_directories(data_ / "2005/Jan");
  WriteBytes(InMonth("dir.xml"), GetParam().index);
  Write();
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")), GetParam().index);
  EXPECT_TRUE(FileExists(InMonth(kStem + ".htm")));
  EXPECT_TRUE(FileExists(InMonth(kStem + ".xml")));
  ExpectOneLogLineNaming({"24-Jan-2005 19:50:34  ", kName, InMonth("dir.xml")});
}

const std::string kValidIndex = FirstIndex(kName, "24 Jan 2005  19:50:34", "Old.xml");

INSTANTIATE_TEST_SUITE_P(
    Broken, MalformedIndexTest,
    ::testing::Values(IndexCase{"NotXml", "this is not XML"},
                      IndexCase{"Truncated", kValidIndex.substr(0, kValidIndex.size() / 2)},
                      IndexCase{"MismatchedTags", "<Reports><Report></Reports></Report>"},
                      IndexCase{"UndefinedEntity", "<Reports>&bogus;</Reports>"},
                      IndexCase{"DuplicateAttribute", "<Reports a=\"1\" a=\"2\"></Reports>"},
                      IndexCase{"ControlCharacter", "<Reports>\x01</Reports>"},
                      IndexCase{"SecondTopLevelElement", "<Reports></Reports><Reports></Reports>"},
                      IndexCase{"TextAfterTheRoot", "<Reports></Reports><Stray/>trailing text"},
                      IndexCase{"CdataEndInContent", "<Reports>]]></Reports>"},
                      IndexCase{"UnknownEncoding",
                                "<?xml version=\"1.0\" encoding=\"bogus\"?><Reports></Reports>"},
                      IndexCase{"NulBeforeAnotherEndTag", "<a/>\0</a>"s},
                      IndexCase{"SingleByteCodePageAndAControlCharacter",
                                "<Reports>M\xe4r\x01</Reports>"}),
    [](const ::testing::TestParamInfo<IndexCase>& info) { return info.param.label; });

TEST_F(ReportWriterTest, ReadOnlyIndexIsLeftUnchangedAndLogged) {
  namespace fs = std::filesystem;
  Write();
  const std::string index = ReadBytes(InMonth("dir.xml"));
  fs::permissions(InMonth("dir.xml"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  clock_.Set({2005, 1, 24, 19, 51, 0});
  EXPECT_NO_THROW(Write("SystemErrorJournal"));
  fs::permissions(InMonth("dir.xml"), fs::perms::owner_write, fs::perm_options::add);

  EXPECT_EQ(ReadBytes(InMonth("dir.xml")), index);
  EXPECT_TRUE(FileExists(InMonth("SystemErrorJournal_24Jan05_195100.htm")));
  EXPECT_TRUE(FileExists(InMonth("SystemErrorJournal_24Jan05_195100.xml")));
  ExpectOneLogLineNaming({"SystemErrorJournal", InMonth("dir.xml")});
  EXPECT_EQ(std::distance(fs::directory_iterator(data_ / "2005/Jan"), fs::directory_iterator{}), 6)
      << "two reports, the index and its lock file, no temporary file";
}

TEST_F(ReportWriterTest, IndexSpoiledSinceTheLastUpdateIsLeftAlone) {
  Write();
  clock_.Set({2005, 1, 24, 19, 51, 0});
  Write();
  const std::string spoiled = ReadBytes(InMonth("dir.xml")) + '\0' + "</Reports>";
  WriteBytes(InMonth("dir.xml"), spoiled);
  clock_.Set({2005, 1, 24, 19, 52, 0});
  Write();
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")), spoiled);
  ExpectOneLogLineNaming({kName, InMonth("dir.xml")});
}

TEST_F(ReportWriterTest, TemporaryFilesLeftByAnEarlierRunAreRemoved) {
  std::filesystem::create_directories(data_ / "2005/Jan");
  WriteBytes(InMonth("dir.xml.tmp4242_1"), "<?xml version=\"1.0\"?>\r\n<Rep");
  std::filesystem::last_write_time(
      InMonth("dir.xml.tmp4242_1"),
      std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  Write();
  EXPECT_FALSE(FileExists(InMonth("dir.xml.tmp4242_1")));
  EXPECT_TRUE(FileExists(InMonth("dir.xml")));
}

TEST_F(ReportWriterTest, DeletedIndexIsCreatedAgainWithTheNextReport) {
  Write();
  clock_.Set({2005, 1, 24, 19, 51, 0});
  Write();
  std::filesystem::remove(InMonth("dir.xml"));
  clock_.Set({2005, 1, 24, 19, 52, 0});
  Write("SystemErrorJournal");
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")), FirstIndex("SystemErrorJournal", "24 Jan 2005  19:52:00",
                                                      "SystemErrorJournal_24Jan05_195200.xml"));
}

TEST_F(ReportWriterTest, NewMonthAndNewYearStartFoldersAndIndexesOfTheirOwn) {
  clock_.Set({2005, 12, 31, 23, 59, 59});
  Write();
  const std::string december = ReadBytes(InMonth("dir.xml", "2005/Dec"));
  clock_.Set({2006, 1, 1, 0, 0, 0});
  Write();
  clock_.Set({2006, 2, 1, 0, 0, 0});
  Write();

  EXPECT_EQ(ReadBytes(InMonth("dir.xml", "2005/Dec")), december);
  EXPECT_EQ(december, FirstIndex(kName, "31 Dec 2005  23:59:59", kName + "_31Dec05_235959.xml"));
  EXPECT_EQ(ReadBytes(InMonth("dir.xml", "2006/Jan")),
            FirstIndex(kName, "01 Jan 2006  00:00:00", kName + "_01Jan06_000000.xml"));
  EXPECT_EQ(IndexedFiles("2006/Feb"), std::vector<std::string>{kName + "_01Feb06_000000.xml"});
  EXPECT_TRUE(FileExists(InMonth(kName + "_01Feb06_000000.htm", "2006/Feb")));
}

// A single-byte system: "f\xe9v" in its code page, "f\xc3\xa9v" as UTF-8.
TEST_F(ReportWriterTest, MonthFolderIsEnglishWhileNamesFollowTheRegionalMonths) {
  SystemRegionalSettings french;
  french.local.month_abbreviations[0] = "f\xe9v";
  french.utf8.month_abbreviations[0] = "f\xc3\xa9v";
  french.local.time_separator = french.utf8.time_separator = "h";
  SetRegional(french);
  // Joined as bytes: std::filesystem would re-encode the name on Windows.
  const std::string month_folder = data_ / "2005/Jan";
  Write();
  EXPECT_TRUE(FileExists(JoinPath(month_folder, kName + "_24f\xe9v05_195034.htm")));
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")), FirstIndex(kName, "24 f\xc3\xa9v 2005  19h50h34",
                                                      kName + "_24f\xc3\xa9v05_195034.xml"));
  Write();
  EXPECT_TRUE(FileExists(JoinPath(month_folder, kName + "_24f\xe9v05_195034_2.xml")));
  EXPECT_EQ(IndexedFiles().back(), kName + "_24f\xc3\xa9v05_195034_2.xml");

  // An index written in the code page (before indexes were UTF-8) stays in it.
  const std::string stamp = "24 f\xe9v 2005  19h50h34";
  const std::string single_byte = FirstIndex(kName, stamp, kName + "_24f\xe9v05_195034.xml");
  WriteBytes(InMonth("dir.xml"), single_byte);
  Write();
  EXPECT_EQ(ReadBytes(InMonth("dir.xml")),
            single_byte.substr(0, single_byte.rfind("</Reports>")) +
                AppendedEntry(kName, stamp, kName + "_24f\xe9v05_195034_3.xml") +
                "</Reports>\r\n\r\n");
}

TEST_F(ReportWriterTest, SameNameInTheSameSecondNeverOverwrites) {
  Write(kName, "one\r\n");
  Write(kName, "two\r\n");
  Write(kName, "three\r\n");
  EXPECT_EQ(ReadBytes(InMonth(kStem + ".htm")), Html("one\r\n"));
  EXPECT_EQ(ReadBytes(InMonth(kStem + "_2.htm")), Html("two\r\n"));
  EXPECT_NE(ReadBytes(InMonth(kStem + "_3.xml")).find("three"), std::string::npos);
  EXPECT_EQ(IndexedFiles(),
            (std::vector<std::string>{kStem + ".xml", kStem + "_2.xml", kStem + "_3.xml"}));
}

TEST_F(ReportWriterTest, EitherFileTakenMovesBothToTheNextNumber) {
  std::filesystem::create_directories(data_ / "2005/Jan");
  WriteBytes(InMonth(kStem + ".htm"), "someone else's");
  Write();
  EXPECT_EQ(ReadBytes(InMonth(kStem + ".htm")), "someone else's");
  EXPECT_FALSE(FileExists(InMonth(kStem + ".xml")));
  EXPECT_TRUE(FileExists(InMonth(kStem + "_2.htm")));
  EXPECT_EQ(IndexedFiles(), std::vector<std::string>{kStem + "_2.xml"});
}

TEST_F(ReportWriterTest, MissingDataFolderWritesNothingAndIsLogged) {
  const std::string gone = data_ / "gone";
  EXPECT_NO_THROW(WriteReport(gone, kName, "Line\r\n", clock_));
  EXPECT_FALSE(FolderExists(gone)) << "the data folder itself is never created";
  ExpectOneLogLineNaming({kName, gone});

  std::filesystem::create_directory(gone);
  WriteReport(gone, kName, "Line\r\n", clock_);
  EXPECT_TRUE(FileExists(gone + PathSeparator() + "2005" + PathSeparator() + "Jan" +
                         PathSeparator() + kStem + ".xml"));
}

TEST_F(ReportWriterTest, FileInPlaceOfTheYearFolderIsLogged) {
  WriteBytes(data_ / "2005", "");
  EXPECT_NO_THROW(Write());
  ExpectOneLogLineNaming({kName, data_ / "2005"});
}

TEST_F(ReportWriterTest, XmlFileRefusedKeepsTheHtmlFileWithoutAnEntry) {
  std::filesystem::create_directories(data_ / ("2005/Jan/" + kStem + ".xml"));
  EXPECT_NO_THROW(Write());
  EXPECT_EQ(ReadBytes(InMonth(kStem + ".htm")), Html("Line\r\n"));
  EXPECT_FALSE(FileExists(InMonth("dir.xml")));
  ExpectOneLogLineNaming({kName, InMonth(kStem + ".xml")});
}

TEST_F(ReportWriterTest, IndexRefusedKeepsTheReportFilesAndIsLogged) {
  std::filesystem::create_directories(data_ / "2005/Jan/dir.xml");
  EXPECT_NO_THROW(Write());
  EXPECT_TRUE(FileExists(InMonth(kStem + ".htm")));
  EXPECT_TRUE(FileExists(InMonth(kStem + ".xml")));
  ExpectOneLogLineNaming({kName, kStem + ".xml", InMonth("dir.xml")});
}

// Where a process filing a report at its recorded instant was ended: nothing
// written yet (only a temporary), the .htm in place, both files, the entry.
class InterruptedFilingTest : public ReportWriterTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedFilingTest, IsCompletedWithoutASecondCopy) {
  const int step = GetParam();
  const std::string text = "  PROCESS ALARM JOURNAL\r\nTAG & 1 < 2\r\n";
  if (step == 0) {
    std::filesystem::create_directories(data_ / "2005/Jan");
    // Left by an earlier run: older than this process.
    WriteBytes(InMonth(kStem + ".htm.tmp4242_1"), "<html>");
    std::filesystem::last_write_time(
        InMonth(kStem + ".htm.tmp4242_1"),
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  } else {
    ASSERT_TRUE(WriteReportAt(data_.path(), kName, text, clock_.Now()));
    if (step < 2) std::filesystem::remove(InMonth(kStem + ".xml"));
    if (step < 3) std::filesystem::remove(InMonth("dir.xml"));
  }
  EXPECT_TRUE(CompleteReportAt(data_.path(), kName, text, clock_.Now()));
  EXPECT_TRUE(FileExists(InMonth(kStem + ".xml")));
  EXPECT_EQ(IndexedFiles(), std::vector<std::string>{kStem + ".xml"});
  EXPECT_EQ(FileNames(InMonth("")).size(), 4u) << "no second copy, no temporary (the index lock)";
}

INSTANTIATE_TEST_SUITE_P(Steps, InterruptedFilingTest, ::testing::Range(0, 4));

TEST_F(ReportWriterTest, CompletingTellsItsFilingFromAnotherOfTheSameSecond) {
  Write(kName, "other\r\n");
  ASSERT_TRUE(WriteReportAt(data_.path(), kName, "ours\r\n", clock_.Now()));
  EXPECT_TRUE(CompleteReportAt(data_.path(), kName, "ours\r\n", clock_.Now()));
  EXPECT_TRUE(CompleteReportAt(data_.path(), kName, "third\r\n", clock_.Now()));
  EXPECT_EQ(IndexedFiles(),
            (std::vector<std::string>{kStem + ".xml", kStem + "_2.xml", kStem + "_3.xml"}));
}

}  // namespace
