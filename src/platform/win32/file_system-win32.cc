#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/error_text-win32.h"

namespace {

// Stores the text of code (when wanted) and returns false.
bool Fail(DWORD code, std::string* error) {
  if (error != nullptr) *error = SystemErrorText(code);
  return false;
}

bool Fail(std::string* error) { return Fail(GetLastError(), error); }

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// Writes all of data to file in chunks that fit a DWORD.
bool WriteAll(HANDLE file, std::string_view data) {
  const char* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, next, chunk, &written, nullptr)) return false;
    next += written;
    left -= written;
  }
  return true;
}

FILETIME SystemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return now;
}

// When this process started, near enough: its statics are set up first.
const FILETIME kProcessStart = SystemTimeNow();

// Creates a new file beside path that no one else uses.
HANDLE CreateTemporaryBeside(const std::string& path, std::string* temp_path) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp_path = TemporaryPath(path, ThisProcessId(), ++counter);
    HANDLE file = CreateFileA(temp_path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Renames temp_path to path. ReplaceFileA keeps the replaced file's
// attributes, access control list and creation time; it takes the place of
// files only (Wine's would replace a folder), a plain rename creates path.
bool MoveIntoPlace(const std::string& temp_path, const std::string& path) {
  if (FileExists(path)) {
    return ReplaceFileA(path.c_str(), temp_path.c_str(), nullptr, 0, nullptr, nullptr);
  }
  return MoveFileExA(temp_path.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// True when path is a file with the read-only attribute. Windows refuses to
// replace one by a rename, Wine does not: the check makes both refuse.
bool IsReadOnlyFile(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

char PathSeparator() { return '\\'; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + PathSeparator() + name;
}

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: again with more room
  }
}

std::string ProgramFolder() {
  const std::string exe = ExecutablePath();
  const size_t slash = exe.find_last_of("\\/");
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

bool FileExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& path, std::string* error) {
  return CreateDirectoryA(path.c_str(), nullptr) || Fail(error);
}

ReplacingFile::ReplacingFile(const std::string& path) : path_(path) {
  HANDLE file = CreateTemporaryBeside(path, &temp_path_);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    temp_path_.clear();
  }
  handle_ = reinterpret_cast<intptr_t>(file);
}

ReplacingFile::~ReplacingFile() {
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!temp_path_.empty()) DeleteFileA(temp_path_.c_str());
}

void ReplacingFile::Append(std::string_view data) {
  if (error_ == 0 && !WriteAll(reinterpret_cast<HANDLE>(handle_), data)) error_ = GetLastError();
}

bool ReplacingFile::Commit(std::string* error) {
  if (error_ == 0) {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    // Flushed before the rename: otherwise a power loss after the rename may
    // leave the final name holding an empty or partial file.
    if (!FlushFileBuffers(file)) error_ = GetLastError();
    if (!CloseHandle(file) && error_ == 0) error_ = GetLastError();
    if (error_ == 0 && IsReadOnlyFile(path_)) error_ = ERROR_ACCESS_DENIED;
    if (error_ == 0 && !MoveIntoPlace(temp_path_, path_)) error_ = GetLastError();
    if (error_ == 0) temp_path_.clear();
  }
  return error_ == 0 || Fail(error_, error);
}

unsigned long ThisProcessId() { return GetCurrentProcessId(); }

bool ModifiedBeforeThisProcess(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) &&
         CompareFileTime(&info.ftLastWriteTime, &kProcessStart) < 0;
}

FileLock::FileLock(const std::string& path, Wait wait, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(error);
    return;
  }
  OVERLAPPED whole = {};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait == Wait::kNo ? LOCKFILE_FAIL_IMMEDIATELY : 0);
  if (!LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &whole)) {
    Fail(error);
    CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
}

FileLock::~FileLock() {
  // Closing the handle releases the lock.
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool AppendToFile(const std::string& path, const std::string& data, std::string* error) {
  // Shared for reading, writing and deleting: the log may be read or removed
  // by others while the service runs.
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(error);
  bool written = WriteAll(file, data);
  DWORD code = GetLastError();
  if (!CloseHandle(file) && written) return Fail(error);
  return written || Fail(code, error);
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
  // Shared for deleting too: a reader (the archive tool, a second process)
  // must never make the service's rename of a new dir.xml over this one fail.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(error);
  data->clear();
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      DWORD code = GetLastError();
      CloseHandle(file);
      return Fail(code, error);
    }
    if (got == 0) break;
    data->append(chunk, got);
  }
  CloseHandle(file);
  return true;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to, std::string* error) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) || Fail(error);
}

bool RemoveFile(const std::string& path, std::string* error) {
  if (DeleteFileA(path.c_str())) return true;
  DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || Fail(code, error);
}

bool SyncFile(const std::string& path, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(error);
  bool flushed = FlushFileBuffers(file);
  DWORD code = GetLastError();
  CloseHandle(file);
  return flushed || Fail(code, error);
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool FreeBytes(const std::string& path, uint64_t* bytes, std::string* error) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return Fail(error);
  *bytes = available.QuadPart;
  return true;
}
