#include "config/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "output/service_log.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "support/fake_platform.h"
#include "support/log_target.h"
#include "support/temp_folder.h"
#include "util/numbered_error.h"

namespace {

struct NumberCase {
  const char* text;
  std::optional<double> value;
};

TEST(SettingsNumbers, NumericTextIsAWholeDecimalNumber) {
  const NumberCase cases[] = {
      {"12", 12},
      {"  12 ", 12},
      {"+7", 7},
      {"-5", -5},
      {"12.5", 12.5},
      {"12.", 12},
      {".5", 0.5},
      {"-.25", -0.25},
      {"1e3", 1000},
      {"2.5E-1", 0.25},
      {"1e+2", 100},
      {"\t3\t", 3},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"COM2", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {".", std::nullopt},
      {"+", std::nullopt},
      {"1e", std::nullopt},
      {"e3", std::nullopt},
      {"0x10", std::nullopt},
      {"&H10", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1,5", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(SettingsNumbers, WholeNumbersRoundHalfToEven) {
  const std::pair<double, int32_t> cases[] = {
      {12.5, 12},
      {13.5, 14},
      {0.5, 0},
      {1.5, 2},
      {-0.5, 0},
      {-1.5, -2},
      {-12.5, -12},
      {12.4999, 12},
      {12.5001, 13},
      {-2.7, -3},
      {2147483647, 2147483647},
      {-2147483648.0, INT32_MIN},
      {2147483646.5, 2147483646},
      {-2147483648.5, INT32_MIN},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(ToWholeNumber(value), expected) << value;
}

TEST(SettingsNumbers, OutOfRangeIsOverflow) {
  for (double value : {2147483647.5, 2147483648.0, -2147483649.0, 1e300, *ParseNumber("1e999"),
                       *ParseNumber("-1e999")}) {
    try {
      ToWholeNumber(value);
      ADD_FAILURE() << value << " converted";
    } catch (const NumberedError& e) {
      EXPECT_EQ(e.number(), kErrOverflow);
      EXPECT_EQ(e.description(), "Overflow");
    }
  }
}

TEST(SettingsNumbers, PortNumberIsSixteenBit) {
  EXPECT_EQ(ToPortNumber(1), 1);
  EXPECT_EQ(ToPortNumber(32767), 32767);
  EXPECT_THROW(ToPortNumber(32768), NumberedError);
  EXPECT_THROW(ToPortNumber(40000), NumberedError);
}

TEST(SettingsNumbers, CountsTakeTheDefaultForAnythingButZeroOrMore) {
  const std::pair<std::string, int32_t> cases[] = {{"0", 0}, {" 15 ", 15}, {"2.5", 2}, {"-1", 7},
                                                   {"x", 7}, {"", 7},      {"1e10", 7}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(ToCount(text, 0, 7), expected) << text;
}

TEST(SettingsVisible, OnlyTrueOneAndYesShow) {
  for (const char* shown : {"true", "TRUE", "True", "1", "yes", "Yes", "YES"}) {
    EXPECT_TRUE(IsVisibleValue(shown)) << shown;
  }
  for (const char* hidden : {"", "on", "y", "2", "0", "false", " yes", "yes ", "01", "t"}) {
    EXPECT_FALSE(IsVisibleValue(hidden)) << "'" << hidden << "'";
  }
}

// The shipped sample file as the profile functions read it: key to value.
std::map<std::string, std::string> SampleEntries() {
  std::string section(4096, '\0');
  const unsigned count =
      profile::GetSection(kSettingsSection, section.data(), static_cast<unsigned>(section.size()),
                          std::string(QUELLOR_SOURCE_DIR) + "/packaging/QuellorService.ini");
  std::map<std::string, std::string> entries;
  for (size_t start = 0, end; start < count; start = end + 1) {
    end = section.find('\0', start);
    const std::string entry = section.substr(start, end - start);
    const size_t equals = entry.find('=');
    entries[entry.substr(0, equals)] = equals == std::string::npos ? "" : entry.substr(equals + 1);
  }
  return entries;
}

TEST(SettingsTable, SampleFileHoldsEveryKeyWithItsDefaultAndNoOther) {
  std::map<std::string, std::string> sample = SampleEntries();
  ASSERT_FALSE(sample.empty()) << "sample file not read";
  for (const Setting& setting : kSettingsTable) {
    const auto entry = sample.find(setting.key);
    if (!setting.default_value) {
      // Its default differs by platform: the sample leaves the key out.
      EXPECT_EQ(entry, sample.end()) << setting.key;
      continue;
    }
    if (entry == sample.end()) {
      ADD_FAILURE() << setting.key << " missing from the sample";
      continue;
    }
    EXPECT_EQ(entry->second, setting.default_value) << setting.key;
    sample.erase(entry);
  }
  for (const auto& [key, value] : sample) ADD_FAILURE() << key << " is in no table row";
}

class SettingsFileTest : public ::testing::Test {
 protected:
  TempFolder program_;
  FakeClock clock_;
  ScopedLogTarget log_{program_.path(), clock_};
};

TEST_F(SettingsFileTest, PerMachineFileWinsOverCommonFile) {
  WriteBytes(program_ / "PLANT07.ini", "");
  WriteBytes(program_ / "QuellorService.ini", "");
  const SettingsFile file = ChooseSettingsFile(program_.path(), "PLANT07", "");
  EXPECT_EQ(file.path, program_ / "PLANT07.ini");
  EXPECT_TRUE(file.found);
}

TEST_F(SettingsFileTest, CommonFileWhenNoPerMachineFile) {
  WriteBytes(program_ / "QuellorService.ini", "");
  const SettingsFile file = ChooseSettingsFile(program_.path(), "PLANT07", "");
  EXPECT_EQ(file.path, program_ / "QuellorService.ini");
  EXPECT_TRUE(file.found);
}

TEST_F(SettingsFileTest, NeitherFileKeepsCommonPath) {
  std::filesystem::create_directory(program_ / "PLANT07.ini");  // a folder is no file
  const SettingsFile file = ChooseSettingsFile(program_.path(), "PLANT07", "");
  EXPECT_EQ(file.path, program_ / "QuellorService.ini");
  EXPECT_FALSE(file.found);
}

TEST_F(SettingsFileTest, AnInstanceReadsOnlyItsOwnFiles) {
  WriteBytes(program_ / "PLANT07.ini", "");
  WriteBytes(program_ / "QuellorService.ini", "");
  EXPECT_EQ(ChooseSettingsFile(program_.path(), "PLANT07", "B").path,
            program_ / "QuellorService_B.ini");
  WriteBytes(program_ / "PLANT07_B.ini", "");
  EXPECT_EQ(ChooseSettingsFile(program_.path(), "PLANT07", "B").path, program_ / "PLANT07_B.ini");
}

TEST_F(SettingsFileTest, ExistingDataFolderIsKeptAsWritten) {
  std::filesystem::create_directory(program_ / "reports");
  EXPECT_EQ(ResolveDataFolder(program_ / "reports", program_ / "Data"), program_ / "reports");
  EXPECT_EQ(log_.Text(), "");
}

TEST_F(SettingsFileTest, MissingDataFolderFallsBackAndLogs) {
  const std::string fallback = program_ / "Data";
  for (const std::string& configured : {program_ / "missing", std::string()}) {
    EXPECT_EQ(ResolveDataFolder(configured, fallback), fallback);
    EXPECT_TRUE(FolderExists(fallback));
    EXPECT_FALSE(FolderExists(program_ / "missing"));  // never created
  }
  EXPECT_EQ(log_.Text(), "24-Jan-2005 19:50:34  Directory " + (program_ / "missing") +
                             " not found. Defaulting to " + fallback +
                             "\r\n"
                             "24-Jan-2005 19:50:34  Directory  not found. Defaulting to " +
                             fallback + "\r\n");
}

TEST_F(SettingsFileTest, DataFolderNamingAFileCountsAsMissing) {
  WriteBytes(program_ / "file", "x");
  EXPECT_EQ(ResolveDataFolder(program_ / "file", program_ / "Data"), program_ / "Data");
}

TEST_F(SettingsFileTest, FallbackThatCannotBeCreatedIsAnError) {
  WriteBytes(program_ / "Data", "a file in the way");
  EXPECT_THROW(ResolveDataFolder(program_ / "missing", program_ / "Data"), NumberedError);
  EXPECT_EQ(log_.Text(), "");
}

}  // namespace
