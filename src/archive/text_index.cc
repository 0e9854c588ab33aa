#include "archive/text_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <system_error>
#include <tuple>
#include <unordered_map>

#include "archive/archive.h"
#include "archive/distinct_trigrams.h"
#include "archive/search.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {

// Raised whenever the tables change, so that an older file is made anew.
constexpr int kSchemaVersion = 2;

// A folder written this recently may still change within the same tick of
// the file system's clock: it is read again at the next update.
constexpr auto kSettledFolder = std::chrono::seconds(2);

// One row of the text table per report: its printed lines, matched by
// trigrams (any text of 3 characters or more), without positions (the
// lines are matched again when the report is read) and without a copy of
// the text. The text table gathers 64 MiB of new rows before it writes them
// out instead of 1 MiB: a build from nothing then merges far fewer pieces.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS report(id INTEGER PRIMARY KEY AUTOINCREMENT, file TEXT UNIQUE NOT "
    "NULL,"
    " name TEXT NOT NULL, filed INTEGER NOT NULL, size INTEGER NOT NULL,"
    " written INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS report_filed ON report(filed);"
    "CREATE TABLE IF NOT EXISTS month(folder TEXT PRIMARY KEY, written INTEGER NOT NULL);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS text USING fts5(body, tokenize='distinct_trigram',"
    " content='', detail='none');"
    "INSERT INTO text(text, rank) VALUES('hashsize', 67108864);";

// A prepared statement, finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return statement_ != nullptr; }
  Statement& Bind(int at, int64_t value) {
    sqlite3_bind_int64(statement_, at, value);
    return *this;
  }
  Statement& Bind(int at, const std::string& text) {
    sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // The next row's step result: SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return sqlite3_step(statement_); }
  // Runs the statement to its end and makes it ready to run again.
  bool Run() {
    const int result = Step();
    sqlite3_reset(statement_);
    return result == SQLITE_DONE;
  }
  int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text == nullptr ? "" : reinterpret_cast<const char*>(text);
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

int64_t Stamp(fs::file_time_type time) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

// When path was last written; 0 when it cannot be told.
int64_t WrittenStamp(const std::string& path) {
  std::error_code error;
  const auto time = fs::last_write_time(path, error);
  return error ? 0 : Stamp(time);
}

int64_t Filed(const ReportPath& report) {
  const LocalTime& t = report.time;
  const int64_t day = t.year * 10000LL + t.month * 100 + t.day;
  return ((day * 1000000 + t.hour * 10000 + t.minute * 100 + t.second) * 100) +
         report.ClashNumber();
}

int64_t DayStart(const LocalTime& t) {
  return (t.year * 10000LL + t.month * 100 + t.day) * 100000000;
}

bool IsDamage(int code) {
  code &= 0xff;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// The text table's query for reports holding text (3 characters or more):
// each of its trigrams, as a quoted string.
std::string TrigramQuery(const std::string& text) {
  std::vector<size_t> starts;  // where each character begins
  for (size_t at = 0; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) starts.push_back(at);
  }
  starts.push_back(text.size());
  std::string query;
  for (size_t c = 0; c + 3 < starts.size(); ++c) {
    std::string trigram = text.substr(starts[c], starts[c + 3] - starts[c]);
    for (size_t quote = trigram.find('"'); quote != std::string::npos;
         quote = trigram.find('"', quote + 2)) {
      trigram.insert(quote, 1, '"');
    }
    query += (query.empty() ? "\"" : " AND \"") + trigram + "\"";
  }
  return query;
}

// The indexed reports of one month folder: file name -> id, size, written.
struct Known {
  int64_t id, size, written;
};

}  // namespace

TextIndex::~TextIndex() { Close(); }

void TextIndex::Close() {
  sqlite3_close(db_);
  db_ = nullptr;
}

bool TextIndex::Exec(const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

bool TextIndex::Open(const std::string& data_folder, bool writable, std::string* error) {
  Close();
  path_ = JoinPath(data_folder, kTextIndexFileName);
  if (!writable && !FileExists(path_)) {
    *error = "no index yet";
    return false;
  }
  if (!OpenFile(writable, error)) return false;
  if (!writable || Prepare(error)) return true;
  // Damaged, of an older layout or half made: a cache is simply made anew.
  Close();
  for (const char* suffix : {"", "-wal", "-shm"}) RemoveFile(path_ + suffix, error);
  return OpenFile(writable, error) && Prepare(error);
}

bool TextIndex::OpenFile(bool writable, std::string* error) {
  const int flags = writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(path_.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    *error = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    Close();
    return false;
  }
  sqlite3_busy_timeout(db_, 10000);
  if (RegisterDistinctTrigrams(db_)) return true;
  *error = "SQLite without its trigram tokenizer";
  Close();
  return false;
}

bool TextIndex::Prepare(std::string* error) {
  int64_t found = -1;
  {
    Statement version(db_, "PRAGMA user_version");
    if (version.ok() && version.Step() == SQLITE_ROW) found = version.Int(0);
  }
  if (found < 0) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  if (found != 0 && found != kSchemaVersion) {
    *error = "index of another layout";
    return false;
  }
  // A cache: losing the last transactions in a power cut costs a re-read.
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) ||
      (found == 0 &&
       (!Exec(kSchema, error) ||
        !Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(), error)))) {
    return false;
  }
  Statement check(db_, "PRAGMA quick_check(1)");
  if (check.ok() && check.Step() == SQLITE_ROW && check.Text(0) == "ok") return true;
  *error = "damaged index";
  return false;
}

bool TextIndex::Update(const std::atomic<bool>& stop, uint64_t* bytes_read, std::string* error) {
  Statement known(db_, "SELECT folder, written FROM month");
  std::unordered_map<std::string, int64_t> months;
  while (known.ok() && known.Step() == SQLITE_ROW) months[known.Text(0)] = known.Int(1);
  const std::string data_folder = fs::path(path_).parent_path().string();
  for (const MonthFolder& month : ListMonths(data_folder)) {
    if (stop) break;
    const auto found = months.find(month.relative);
    if (found != months.end() && found->second == WrittenStamp(month.path)) continue;
    if (!InsideFolder(data_folder, month.path)) continue;
    if (!UpdateMonth(month.path, month.relative, month.year, bytes_read, error)) {
      if (IsDamage(failure_)) {
        Close();
        RemoveFile(path_, error);
      }
      return false;
    }
  }
  return true;
}

bool TextIndex::UpdateMonth(const std::string& path, const std::string& relative, int year,
                            uint64_t* bytes_read, std::string* error) {
  const int64_t folder_written = WrittenStamp(path);
  const bool settled = fs::file_time_type::clock::now() -
                           fs::file_time_type(fs::file_time_type::duration(folder_written)) >
                       kSettledFolder;
  if (!Exec("BEGIN IMMEDIATE", error)) return false;
  std::unordered_map<std::string, Known> indexed;
  Statement listed(db_,
                   "SELECT file, id, size, written FROM report WHERE file >= ?1 AND file < ?2");
  listed.Bind(1, relative + "/").Bind(2, relative + "0");
  while (listed.Step() == SQLITE_ROW) {
    indexed[listed.Text(0)] = {listed.Int(1), listed.Int(2), listed.Int(3)};
  }
  Statement remove(db_, "DELETE FROM report WHERE id = ?1");
  Statement add(db_,
                "INSERT INTO report(file, name, filed, size, written) VALUES(?1, ?2, ?3, ?4, ?5)");
  Statement add_text(db_, "INSERT INTO text(rowid, body) VALUES(last_insert_rowid(), ?1)");
  MonthFolder month;
  month.year = year;
  bool ok = remove.ok() && add.ok() && add_text.ok();
  std::string document, ignored;
  for (const ReportPath& report : ReportFiles(month, ListMonthFiles(path).xml, nullptr)) {
    if (!ok) break;
    const std::string file = relative + "/" + report.Xml();
    const std::string report_path = JoinPath(path, report.Xml());
    std::error_code no_size;
    const int64_t size = static_cast<int64_t>(fs::file_size(report_path, no_size));
    const int64_t written = WrittenStamp(report_path);
    const auto found = indexed.find(file);
    if (found != indexed.end()) {
      const Known known = found->second;
      indexed.erase(found);
      if (known.size == size && known.written == written) continue;
      ok = remove.Bind(1, known.id).Run();
    }
    if (no_size || !ReadWholeFile(report_path, &document, &ignored)) continue;
    if (bytes_read != nullptr) *bytes_read += document.size();
    const std::string body = CodePageToUtf8(PrintedText(document));
    ok = ok &&
         add.Bind(1, file)
             .Bind(2, report.name)
             .Bind(3, Filed(report))
             .Bind(4, size)
             .Bind(5, written)
             .Run() &&
         add_text.Bind(1, body).Run();
  }
  // Reports removed from the folder: their text rows cannot be told apart
  // without their text and stay, unlisted, until the index is made anew.
  for (const auto& [file, gone] : indexed) ok = ok && remove.Bind(1, gone.id).Run();
  Statement month_row(db_, "INSERT OR REPLACE INTO month(folder, written) VALUES(?1, ?2)");
  ok = ok && month_row.Bind(1, relative).Bind(2, settled ? folder_written : 0).Run();
  if (!ok) {
    *error = sqlite3_errmsg(db_);
    failure_ = sqlite3_errcode(db_);
    Exec("ROLLBACK", &ignored);
    return false;
  }
  return Exec("COMMIT", error);
}

std::vector<std::string> TextIndex::CurrentMonths() {
  std::vector<std::string> current;
  Statement months(db_, "SELECT folder, written FROM month");
  const std::string data_folder = fs::path(path_).parent_path().string();
  while (months.ok() && months.Step() == SQLITE_ROW) {
    const std::string folder = months.Text(0);
    if (months.Int(1) != 0 && months.Int(1) == WrittenStamp(JoinPath(data_folder, folder))) {
      current.push_back(folder);
    }
  }
  return current;
}

bool TextIndex::Candidates(const std::vector<std::string>& atoms,
                           const std::function<bool(const std::vector<int>&)>& passes,
                           const LocalTime& from, const LocalTime& to, std::vector<Report>* reports,
                           std::string* error) {
  std::map<int64_t, std::pair<Report, std::vector<int>>> found;
  const int64_t first = DayStart(from), last = DayStart(to) + 99999999;
  auto collect = [&](Statement& rows, int atom) {
    int result;
    while ((result = rows.Step()) == SQLITE_ROW) {
      auto& [report, held] = found[rows.Int(0)];
      report = {rows.Text(1), rows.Text(2), rows.Int(3)};
      if (atom >= 0) held.push_back(atom);
    }
    return result == SQLITE_DONE;
  };
  bool ok = true;
  if (atoms.empty()) {
    Statement rows(db_, "SELECT id, file, name, filed FROM report WHERE filed BETWEEN ?1 AND ?2");
    ok = rows.ok() && collect(rows.Bind(1, first).Bind(2, last), -1);
  }
  for (size_t atom = 0; ok && atom < atoms.size(); ++atom) {
    Statement rows(db_,
                   "SELECT r.id, r.file, r.name, r.filed FROM text JOIN report r ON"
                   " r.id = text.rowid WHERE text MATCH ?3 AND r.filed BETWEEN ?1 AND ?2");
    ok = rows.ok() && collect(rows.Bind(1, first).Bind(2, last).Bind(3, TrigramQuery(atoms[atom])),
                              static_cast<int>(atom));
  }
  if (!ok) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  reports->clear();
  for (auto& [id, entry] : found) {
    if (atoms.empty() || passes(entry.second)) reports->push_back(std::move(entry.first));
  }
  std::sort(reports->begin(), reports->end(), [](const Report& a, const Report& b) {
    return std::tie(a.filed, a.file) > std::tie(b.filed, b.file);
  });
  return true;
}
