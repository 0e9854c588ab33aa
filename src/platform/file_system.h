#ifndef QUELLOR_PLATFORM_FILE_SYSTEM_H_
#define QUELLOR_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// File and folder operations on byte-string paths in the system code page.
// None of them throws; failures come back as false with the system's error
// text in *error when error is not null.

// The platform's folder separator: "\" on Windows, "/" elsewhere.
char PathSeparator();

// folder + separator + name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The running executable's full path; "" when the system cannot tell it.
std::string ExecutablePath();

// The folder that holds the running executable, without a trailing
// separator; "." when the system cannot tell it.
std::string ProgramFolder();

// True when path names an existing regular file (a folder does not count).
bool FileExists(const std::string& path);

// True when path names an existing folder (a file does not count).
bool FolderExists(const std::string& path);

// Creates one folder level; the parent must exist. The new folder survives
// a power loss (POSIX: its parent is synced).
bool CreateFolder(const std::string& path, std::string* error);

// Writes data to a temporary file in the same folder and renames it to path,
// replacing any file of that name, so that path never holds a partial file;
// once it returns true a power loss cannot undo the rename (POSIX: the
// folder is synced).
// A replaced file's permissions and owner (POSIX; the owner only where the
// process may give files away) or attributes and access control list
// (Windows) stay as they were. A read-only file at path is not replaced:
// that is a failure.
bool WriteFileReplacing(const std::string& path, const std::string& data, std::string* error);

// WriteFileReplacing for content that comes piece by piece, so that a large
// file need not be built in memory first. The temporary file is created by
// the constructor and removed again if the object goes without Commit.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& path);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // Adds data to the content; ignored once something has failed.
  void Append(std::string_view data);

  // Flushes the content to the disk and renames the file to path. False,
  // with the system's text of the first failure in *error when error is not
  // null, if anything failed since construction; path is then unchanged.
  bool Commit(std::string* error);

 private:
  std::string path_;
  std::string temp_path_;
  intptr_t handle_ = -1;     // the platform's file descriptor or handle; -1: none
  unsigned long error_ = 0;  // errno or GetLastError() of the first failure
};

// An advisory lock on the file at path, which is created when absent: held
// from construction to destruction. Construction waits while another holder
// (another process, or another FileLock in this one) has it, unless told not
// to. Writers that take it around a read-modify-rename of a file beside it
// exclude each other; nothing stops a writer that does not take it. A
// process that ends, however, lets its lock go.
class FileLock {
 public:
  enum class Wait { kYes, kNo };

  // With Wait::kNo, gives up at once when another holder has the lock; the
  // reason for not holding it goes to *error when given.
  explicit FileLock(const std::string& path, Wait wait = Wait::kYes, std::string* error = nullptr);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // False when the lock file could not be opened or locked (a folder that
  // cannot be written): the holder then goes on without the lock.
  bool held() const { return handle_ != -1; }

 private:
  intptr_t handle_ = -1;  // the platform's file descriptor or handle; -1: none
};

// The path of ReplacingFile's temporary file number n for path: path, ".tmp",
// the id of the writing process, "_" and n, so that a leftover after a crash
// is easy to attribute.
std::string TemporaryPath(const std::string& path, unsigned long process_id, unsigned n);

// True when file_name (a name without folder) is one TemporaryPath makes.
bool IsTemporaryName(std::string_view file_name);

// This process's id, as TemporaryPath names it.
unsigned long ThisProcessId();

// True when the file at path was last modified before this process started.
bool ModifiedBeforeThisProcess(const std::string& path);

// Removes from folder the temporary files that ReplacingFile left behind in
// an earlier run (a crash or power loss before it could remove them): files
// named as TemporaryPath names them by another process, or by this one's id
// but before it started (an id used again after a restart), so never one that
// a writer in this process is using. Failures are ignored; a later call tries
// again.
void RemoveStaleTemporaries(const std::string& folder);

// Opens path for appending (creating it), writes data and closes it.
bool AppendToFile(const std::string& path, const std::string& data, std::string* error);

// Reads the whole file into *data.
bool ReadWholeFile(const std::string& path, std::string* data, std::string* error);

// Renames from to to on the same volume, atomically, unless a file of that
// name exists: that is a failure, and both files stay as they were. Once it
// returns true a power loss cannot undo the rename (POSIX: the folder is
// synced).
bool RenameWithoutReplacing(const std::string& from, const std::string& to, std::string* error);

// Deletes the file at path. A file that does not exist is no failure.
bool RemoveFile(const std::string& path, std::string* error);

// Writes what the system still holds of the file at path to the disk
// (fsync / FlushFileBuffers), so that a power loss cannot lose it.
bool SyncFile(const std::string& path, std::string* error);

// The names (without folder) of the regular files in folder, in no order;
// empty when the folder cannot be read.
std::vector<std::string> FileNames(const std::string& folder);

// The bytes free for this process on the volume that holds path.
bool FreeBytes(const std::string& path, uint64_t* bytes, std::string* error);

#endif  // QUELLOR_PLATFORM_FILE_SYSTEM_H_
