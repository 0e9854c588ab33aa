#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;

// Every byte value a report or index may hold, line ends of all kinds among
// them: written files must hold them unchanged (no text-mode translation).
const std::string kAwkwardBytes = "a\r\nb\nc\rd\0e\x1a\xff\f"s;

size_t EntryCount(const TempFolder& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder.path()),
                                           std::filesystem::directory_iterator()));
}

TEST(FileSystemTest, JoinPathUsesThePlatformSeparator) {
  EXPECT_EQ(JoinPath("data", "2005"), "data"s + PathSeparator() + "2005");
}

TEST(FileSystemTest, ProgramFolderHoldsTheExecutables) {
  std::string service = std::filesystem::path(QUELLOR_EXE).filename().string();
  EXPECT_TRUE(FileExists(JoinPath(ProgramFolder(), service))) << ProgramFolder();
}

TEST(FileSystemTest, FilesAndFoldersAreTold) {
  TempFolder temp;
  WriteBytes(temp / "file", "x");
  EXPECT_TRUE(FileExists(temp / "file"));
  EXPECT_FALSE(FolderExists(temp / "file"));
  EXPECT_TRUE(FolderExists(temp.path()));
  EXPECT_FALSE(FileExists(temp.path()));
  EXPECT_FALSE(FileExists(temp / "none"));
  EXPECT_FALSE(FolderExists(temp / "none"));
}

TEST(FileSystemTest, CreateFolderMakesOneLevelOnly) {
  TempFolder temp;
  std::string error;
  EXPECT_TRUE(CreateFolder(temp / "a", &error)) << error;
  EXPECT_TRUE(FolderExists(temp / "a"));
  EXPECT_FALSE(CreateFolder(temp / "b/c", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(FolderExists(temp / "b"));
  error.clear();
  EXPECT_FALSE(CreateFolder(temp / "a", &error));
  EXPECT_FALSE(error.empty());
}

TEST(FileSystemTest, WriteFileReplacingKeepsBytesAndLeavesNoTemporary) {
  TempFolder temp;
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(temp / "f.xml", "old and longer", &error)) << error;
  ASSERT_TRUE(WriteFileReplacing(temp / "f.xml", kAwkwardBytes, &error)) << error;
  EXPECT_EQ(ReadBytes(temp / "f.xml"), kAwkwardBytes);
  EXPECT_EQ(EntryCount(temp), 1u);
}

TEST(FileSystemTest, WriteFileReplacingFailsCleanly) {
  TempFolder temp;
  std::filesystem::create_directory(temp / "folder");
  for (const std::string& path : {temp / "missing/f.xml", temp / "folder"}) {
    std::string error;
    EXPECT_FALSE(WriteFileReplacing(path, "data", &error)) << path;
    EXPECT_FALSE(error.empty()) << path;
  }
  EXPECT_FALSE(WriteFileReplacing(temp / "missing/f.xml", "data", nullptr));
  EXPECT_EQ(EntryCount(temp), 1u) << "only the folder, no temporary file";
  EXPECT_TRUE(FolderExists(temp / "folder"));
}

TEST(FileSystemTest, ReplacingFileShowsItsContentOnlyOnCommit) {
  TempFolder temp;
  WriteBytes(temp / "f.htm", "old");
  {
    ReplacingFile dropped(temp / "f.htm");
    dropped.Append("never shown");
  }
  EXPECT_EQ(ReadBytes(temp / "f.htm"), "old");
  EXPECT_EQ(EntryCount(temp), 1u) << "the dropped temporary file is removed";

  ReplacingFile file(temp / "f.htm");
  file.Append("new ");
  file.Append(kAwkwardBytes);
  EXPECT_EQ(ReadBytes(temp / "f.htm"), "old");
  std::string error;
  ASSERT_TRUE(file.Commit(&error)) << error;
  EXPECT_EQ(ReadBytes(temp / "f.htm"), "new " + kAwkwardBytes);
  EXPECT_EQ(EntryCount(temp), 1u);
}

TEST(FileSystemTest, ReplacedFileKeepsItsPermissions) {
  namespace fs = std::filesystem;
  TempFolder temp;
  WriteBytes(temp / "dir.xml", "old");
  fs::permissions(temp / "dir.xml",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::perms before = fs::status(temp / "dir.xml").permissions();
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(temp / "dir.xml", "new", &error)) << error;
  EXPECT_EQ(ReadBytes(temp / "dir.xml"), "new");
  EXPECT_EQ(fs::status(temp / "dir.xml").permissions(), before);
}

TEST(FileSystemTest, OnlyTemporaryFilesOfOtherRunsAreRemoved) {
  namespace fs = std::filesystem;
  TempFolder temp;
  const auto before_this_run = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const char* name : {"dir.xml.tmp4242_7", "a_24Jan05_195034.htm.tmp1_12", "dir.xml",
                           "dir.xml.tmp", "notes.tmp12", "dir.xml.tmp12_x", ".tmp1_1"}) {
    WriteBytes(temp / name, "x");
    fs::last_write_time(temp / name, before_this_run);
  }
  // Another process's, left this very second (a restart right after a crash).
  WriteBytes(temp / "b.htm.tmp4000000000_1", "x");
  ReplacingFile in_use(temp / "f.htm");
  in_use.Append("being written");

  RemoveStaleTemporaries(temp.path());
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(temp.path())) {
    if (!entry.path().filename().string().starts_with("f.htm.tmp")) {
      left.push_back(entry.path().filename().string());
    }
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".tmp1_1", "dir.xml", "dir.xml.tmp", "dir.xml.tmp12_x",
                                            "notes.tmp12"}));
  std::string error;
  EXPECT_TRUE(in_use.Commit(&error)) << error;
  EXPECT_EQ(ReadBytes(temp / "f.htm"), "being written");
}

TEST(FileSystemTest, AppendToFileCreatesThenAppends) {
  TempFolder temp;
  std::string error;
  ASSERT_TRUE(AppendToFile(temp / "log", "one\r\n", &error)) << error;
  ASSERT_TRUE(AppendToFile(temp / "log", kAwkwardBytes, &error)) << error;
  EXPECT_EQ(ReadBytes(temp / "log"), "one\r\n" + kAwkwardBytes);
  EXPECT_FALSE(AppendToFile(temp / "missing/log", "x", &error));
  EXPECT_FALSE(error.empty());
}

TEST(FileSystemTest, ReadWholeFileReadsEveryByte) {
  TempFolder temp;
  std::string big(200000, 'x');
  big += kAwkwardBytes;
  WriteBytes(temp / "f", big);
  std::string data = "stale", error;
  ASSERT_TRUE(ReadWholeFile(temp / "f", &data, &error)) << error;
  EXPECT_EQ(data, big);
  EXPECT_FALSE(ReadWholeFile(temp / "none", &data, &error));
  EXPECT_FALSE(error.empty());
}

// The spool's moves: sync, a rename that never replaces a file, remove (a
// missing file is no failure), and the leftovers of an ended process found
// and swept.
TEST(FileSystemTest, SpoolOperations) {
  TempFolder temp;
  std::string error;
  WriteBytes(temp / "spool", kAwkwardBytes);
  WriteBytes(temp / "record", "old");
  EXPECT_TRUE(SyncFile(temp / "spool", &error)) << error;
  EXPECT_FALSE(RenameWithoutReplacing(temp / "spool", temp / "record", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(temp / "record"), "old");
  EXPECT_TRUE(RenameWithoutReplacing(temp / "spool", temp / "record2", &error)) << error;
  EXPECT_EQ(ReadBytes(temp / "record2"), kAwkwardBytes);
  EXPECT_FALSE(SyncFile(temp / "spool", &error));
  EXPECT_TRUE(RemoveFile(temp / "record2", &error)) << error;
  EXPECT_TRUE(RemoveFile(temp / "record2", &error)) << error;

  RemoveFile(temp / "record", nullptr);
  for (const char* name : {"a.htm", "dir.xml.tmp4_55"}) WriteBytes(temp / name, "x");
  std::filesystem::create_directory(temp / "folder.tmp1_2");
  std::vector<std::string> names = FileNames(temp.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.htm", "dir.xml.tmp4_55"}))
      << "folders are not listed";
  EXPECT_TRUE(FileNames(temp / "none").empty());
}

TEST(FileSystemTest, FreeBytesOfTheVolume) {
  TempFolder temp;
  uint64_t bytes = 0;
  std::string error;
  EXPECT_TRUE(FreeBytes(temp.path(), &bytes, &error)) << error;
  EXPECT_GT(bytes, 0u);
  EXPECT_FALSE(FreeBytes(temp / "none", &bytes, &error));
}

}  // namespace
