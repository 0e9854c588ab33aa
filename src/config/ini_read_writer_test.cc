// Runs on both platforms: on Windows against kernel32's profile functions, so
// only behaviour both readers share is asserted here.

#include "config/ini_read_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_folder.h"

class IniReadWriterTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& bytes) { WriteBytes(file_, bytes); }
  std::string ReadFile() const { return ReadBytes(file_); }
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& default_value = "dflt") const {
    return ini_.GetProfile(section, key, default_value, file_);
  }
  std::string Section(const std::string& section) const {
    return ini_.ReadProfileSection(section, file_);
  }

  TempFolder folder_;
  std::string file_ = folder_ / "settings.ini";
  IniReadWriter ini_;
};

TEST_F(IniReadWriterTest, MissingFileGivesDefaultForEveryKey) {
  EXPECT_EQ(Get("Quellor Service", "DataFolder", "C:\\Reports"), "C:\\Reports");
  EXPECT_EQ(Get("Quellor Service", "Visible", ""), "");
  EXPECT_EQ(Section("Quellor Service"), "");
}

struct ReadCase {
  const char* what;
  const char* file;
  const char* section;
  const char* key;
  const char* expected;
};

TEST_F(IniReadWriterTest, ReadsValuesAsTheSystemDoes) {
  const ReadCase cases[] = {
      {"plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"LF line ends", "[S]\nk=v\nj=w\n", "S", "j", "w"},
      {"no final line end", "[S]\r\nk=v", "S", "k", "v"},
      {"missing section", "[T]\r\nk=v\r\n", "S", "k", "dflt"},
      {"missing key", "[S]\r\nj=v\r\n", "S", "k", "dflt"},
      {"key of another section", "[S]\r\nj=1\r\n[T]\r\nk=2\r\n", "S", "k", "dflt"},
      {"present but empty", "[S]\r\nk=\r\n", "S", "k", ""},
      {"section name in other case", "[quellor SERVICE]\r\nk=v\r\n", "Quellor Service", "k", "v"},
      {"key name in other case", "[S]\r\nDataFOLDER=v\r\n", "S", "datafolder", "v"},
      {"blanks around names and value", "[S]\r\n  k  =  a b  \r\n", "S", "k", "a b"},
      {"comment line", "[S]\r\n;k=old\r\nk=new\r\n", "S", "k", "new"},
      {"first of two keys wins", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "1"},
      {"value keeps its own equals sign", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
      {"quoted value loses its quotes", "[S]\r\nk=\"a b \"\r\n", "S", "k", "a b "},
      {"value keeps backslashes", "[S]\r\nk=C:\\Reports\\x\r\n", "S", "k", "C:\\Reports\\x"},
      {"UTF-8 byte-order mark before the first section", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k",
       "v"},
  };
  for (const auto& c : cases) {
    WriteFile(c.file);
    EXPECT_EQ(Get(c.section, c.key), c.expected) << c.what;
  }
}

TEST_F(IniReadWriterTest, ValuesAreCutTo127Characters) {
  const std::string exact(127, 'x');
  const std::string long_value = std::string(127, 'y') + std::string(73, 'z');
  WriteFile("[S]\r\nexact=" + exact + "\r\nlong=" + long_value + "\r\n");
  EXPECT_EQ(Get("S", "exact"), exact);
  EXPECT_EQ(Get("S", "long"), std::string(127, 'y'));
  EXPECT_EQ(Get("S", "missing", std::string(150, 'd')), std::string(127, 'd'));
}

TEST_F(IniReadWriterTest, WriteCreatesFileSectionAndKey) {
  ini_.WriteProfile("Parameters", "TimerInterval", "10000", file_);
  EXPECT_EQ(Get("Parameters", "TimerInterval"), "10000");

  ini_.WriteProfile("Parameters", "Other", "1", file_);
  ini_.WriteProfile("Second", "Key", "2", file_);
  EXPECT_EQ(Get("Parameters", "TimerInterval"), "10000");
  EXPECT_EQ(Get("Parameters", "Other"), "1");
  EXPECT_EQ(Get("Second", "Key"), "2");
}

TEST_F(IniReadWriterTest, WriteReplacesValueAndKeepsTheRest) {
  WriteFile("; settings\r\n[A]\r\nx=1\r\nk=old\r\ny=2\r\n\r\n[B]\r\nk=other\r\n");
  ini_.WriteProfile("a", "K", "new", file_);

  EXPECT_EQ(Get("A", "k"), "new");
  EXPECT_EQ(Get("A", "x"), "1");
  EXPECT_EQ(Get("A", "y"), "2");
  EXPECT_EQ(Get("B", "k"), "other");
  const std::string text = ReadFile();
  EXPECT_NE(text.find("; settings"), std::string::npos);
  EXPECT_EQ(text.find("old"), std::string::npos);
}

TEST_F(IniReadWriterTest, WriteBehindAByteOrderMarkKeepsTheFileReadable) {
  WriteFile("\xEF\xBB\xBF[A]\r\nk=old\r\n");
  ini_.WriteProfile("A", "k", "new", file_);
  ini_.WriteProfile("A", "j", "2", file_);
  EXPECT_EQ(Get("A", "k"), "new");
  EXPECT_EQ(Get("A", "j"), "2");
  EXPECT_EQ(Section("A"), std::string("k=new\0j=2\0", 10));
}

TEST_F(IniReadWriterTest, NewKeyJoinsItsOwnSection) {
  WriteFile("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  ini_.WriteProfile("A", "z", "3", file_);
  EXPECT_EQ(Section("A"), std::string("x=1\0z=3\0", 8));
  EXPECT_EQ(Section("B"), std::string("y=2\0", 4));
}

TEST_F(IniReadWriterTest, SectionListsEntriesSeparatedByNul) {
  WriteFile("[S]\r\na=1\r\nb=two\r\n[T]\r\nc=3\r\n");
  EXPECT_EQ(Section("S"), std::string("a=1\0b=two\0", 10));
  EXPECT_EQ(Section("s"), std::string("a=1\0b=two\0", 10));
  EXPECT_EQ(Section("U"), "");
}

TEST_F(IniReadWriterTest, LargeSectionIsCutToTheBuffer) {
  std::string file = "[S]\r\n";
  for (int i = 0; i < 40; ++i) file += "key" + std::to_string(i) + "=value\r\n";
  WriteFile(file);
  const std::string section = Section("S");
  EXPECT_LE(section.size(), 255u);
  EXPECT_GE(section.size(), 250u);
  EXPECT_EQ(section.substr(0, 10), std::string("key0=value\0", 10));
}
