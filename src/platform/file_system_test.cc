#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The spool's moves: sync, rename over an existing file, remove (a missing
// file is no failure), and the leftovers of an ended process found and swept.
TEST(FileSystemTest, SpoolOperations) {
  TempFolder temp;
  std::string error;
  WriteBytes(temp / "spool", kAwkwardBytes);
  WriteBytes(temp / "record", "old");
  EXPECT_TRUE(SyncFile(temp / "spool", &error)) << error;
  EXPECT_TRUE(RenameFile(temp / "spool", temp / "record", &error)) << error;
  EXPECT_EQ(ReadBytes(temp / "record"), kAwkwardBytes);
  EXPECT_FALSE(SyncFile(temp / "spool", &error));
  EXPECT_TRUE(RemoveFile(temp / "record", &error)) << error;
  EXPECT_TRUE(RemoveFile(temp / "record", &error)) << error;

  for (const char* name : {"a.htm", "a.htm.tmp12_3", "dir.xml.tmp4_55", "a.tmpx_1", "b.tmp1_"}) {
    WriteBytes(temp / name, "x");
  }
  std::filesystem::create_directory(temp / "folder.tmp1_2");
  EXPECT_EQ(FileNames(temp.path()).size(), 5u) << "folders are not listed";
  RemoveLeftoverTemporaries(temp.path());
  std::vector<std::string> kept = FileNames(temp.path());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"a.htm", "a.tmpx_1", "b.tmp1_"}));
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
