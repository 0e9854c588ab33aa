#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace {

// Stores the text of code (when wanted) and returns false.
bool Fail(int code, std::string* error) {
  if (error != nullptr) *error = std::strerror(code);
  return false;
}

bool Fail(std::string* error) { return Fail(errno, error); }

// Writes all of data to fd, resuming after short writes and signals.
bool WriteAll(int fd, std::string_view data) {
  const char* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t written = write(fd, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

// Closes fd; keeps errno of an earlier failure for the caller's message.
void CloseKeepingErrno(int fd) {
  int saved = errno;
  close(fd);
  errno = saved;
}

// When this process started, near enough: its statics are set up first.
const time_t kProcessStart = time(nullptr);

// Creates a new file beside path that no one else uses.
int CreateTemporaryBeside(const std::string& path, std::string* temp_path) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp_path = TemporaryPath(path, ThisProcessId(), ++counter);
    int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives fd the owner and permissions of the file at path, if there is one;
// the rename would otherwise leave the writer's owner and umask on it. Only
// a privileged process may give a file away (EPERM): fd then keeps its owner.
bool TakeOwnerAndMode(int fd, const std::string& path) {
  struct stat old;
  if (stat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return true;
  if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) return false;
  return fchmod(fd, old.st_mode & 07777) == 0;
}

// True when path is a file that no one may write. A rename would replace it
// all the same; Windows refuses to, and so does ReplacingFile here.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// Syncs the folder that holds path, so that a power loss cannot undo a
// rename or creation in it that has been reported done.
bool SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  CloseKeepingErrno(fd);
  return synced;
}

// Renames from to to unless to exists. A file system without the flag
// (EINVAL) takes a hard link, which never replaces either.
bool RenameUnlessTaken(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL || link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) == 0) return true;
  const int saved = errno;  // unlink's, for the caller's message
  unlink(to.c_str());
  errno = saved;
  return false;
}

}  // namespace

char PathSeparator() { return '/'; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + PathSeparator() + name;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "";
}

std::string ProgramFolder() {
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const std::string& path, std::string* error) {
  return (mkdir(path.c_str(), 0777) == 0 && SyncFolderOf(path)) || Fail(error);
}

ReplacingFile::ReplacingFile(const std::string& path) : path_(path) {
  int fd = CreateTemporaryBeside(path, &temp_path_);
  if (fd < 0) {
    error_ = static_cast<unsigned long>(errno);
    temp_path_.clear();
  } else if (!TakeOwnerAndMode(fd, path)) {
    error_ = static_cast<unsigned long>(errno);
  }
  handle_ = fd;
}

ReplacingFile::~ReplacingFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
}

void ReplacingFile::Append(std::string_view data) {
  if (error_ == 0 && !WriteAll(static_cast<int>(handle_), data)) {
    error_ = static_cast<unsigned long>(errno);
  }
}

bool ReplacingFile::Commit(std::string* error) {
  if (error_ == 0) {
    int fd = static_cast<int>(handle_);
    handle_ = -1;
    // fsync before rename: otherwise a power loss after the rename may leave
    // the final name holding an empty or partial file.
    if (fsync(fd) != 0) error_ = static_cast<unsigned long>(errno);
    if (close(fd) != 0 && error_ == 0) error_ = static_cast<unsigned long>(errno);
    if (error_ == 0 && IsReadOnlyFile(path_)) error_ = EACCES;
    if (error_ == 0 && (rename(temp_path_.c_str(), path_.c_str()) != 0 || !SyncFolderOf(path_))) {
      error_ = static_cast<unsigned long>(errno);
    }
    if (error_ == 0) temp_path_.clear();
  }
  return error_ == 0 || Fail(static_cast<int>(error_), error);
}

unsigned long ThisProcessId() { return static_cast<unsigned long>(getpid()); }

bool ModifiedBeforeThisProcess(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && info.st_mtime < kProcessStart;
}

FileLock::FileLock(const std::string& path, Wait wait, std::string* error) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(error);
    return;
  }
  int locked;
  do {
    locked = flock(fd, LOCK_EX | (wait == Wait::kNo ? LOCK_NB : 0));
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    Fail(errno == EWOULDBLOCK ? EBUSY : errno, error);
    close(fd);
    return;
  }
  handle_ = fd;
}

FileLock::~FileLock() {
  // Closing the descriptor releases the lock.
  if (handle_ != -1) close(static_cast<int>(handle_));
}

bool AppendToFile(const std::string& path, const std::string& data, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(error);
  if (!WriteAll(fd, data)) {
    CloseKeepingErrno(fd);
    return Fail(error);
  }
  return close(fd) == 0 || Fail(error);
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error);
  data->clear();
  struct stat info;
  if (fstat(fd, &info) == 0 && info.st_size > 0) data->reserve(static_cast<size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      CloseKeepingErrno(fd);
      return Fail(error);
    }
    data->append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to, std::string* error) {
  return (RenameUnlessTaken(from, to) && SyncFolderOf(to)) || Fail(error);
}

bool RemoveFile(const std::string& path, std::string* error) {
  return unlink(path.c_str()) == 0 || errno == ENOENT || Fail(error);
}

bool SyncFile(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error);
  if (fsync(fd) != 0) {
    CloseKeepingErrno(fd);
    return Fail(error);
  }
  return close(fd) == 0 || Fail(error);
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    if (FileExists(JoinPath(folder, entry->d_name))) names.push_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

bool FreeBytes(const std::string& path, uint64_t* bytes, std::string* error) {
  struct statvfs info;
  if (statvfs(path.c_str(), &info) != 0) return Fail(error);
  *bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}
