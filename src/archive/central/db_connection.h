#ifndef QUELLOR_ARCHIVE_CENTRAL_DB_CONNECTION_H_
#define QUELLOR_ARCHIVE_CENTRAL_DB_CONNECTION_H_

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

// A failed statement or a lost connection to the central database.
class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A statement's parameter: text, or bytes sent as they are (bytea), or
// NULL.
struct DbParam {
  std::string_view value;
  bool binary = false;
  bool null = false;
};

// The rows a statement returned.
class DbResult {
 public:
  explicit DbResult(pg_result* result);
  DbResult(DbResult&&) = default;
  DbResult& operator=(DbResult&&) = default;
  ~DbResult();

  int rows() const;
  // The value of a column: its text, or its bytes when the statement asked
  // for binary results; "" for NULL.
  std::string_view Value(int row, int column) const;
  bool IsNull(int row, int column) const;

  // True when the statement succeeded.
  bool succeeded() const;

 private:
  struct Clear {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, Clear> result_;
};

// Raises DbError when conninfo cannot be read or holds a password.
void CheckConnectionString(const std::string& conninfo);

// One connection through libpq. Credentials and TLS settings come from what
// libpq reads itself (PGPASSFILE, PGSERVICE, PGSSLMODE, ~/.pgpass, ...):
// a password written into the connection string would show in the process
// list, so it is refused.
class DbConnection {
 public:
  // Connects with conninfo (a postgresql:// URL or key=value words). Raises
  // DbError when it cannot, or when CheckConnectionString does.
  explicit DbConnection(const std::string& conninfo);
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;
  ~DbConnection();

  // Runs sql with params as $1, $2, ...; with binary_results its values
  // come as bytes. Raises DbError when it fails.
  DbResult Exec(std::string_view sql, const std::vector<DbParam>& params = {},
                bool binary_results = false);

  // Runs a statement without parameters that may hold several commands.
  void ExecScript(std::string_view sql);

 private:
  // result, or DbError with the connection's message when it failed.
  DbResult Checked(pg_result* result);

  struct Finish {
    void operator()(pg_conn* connection) const;
  };
  std::unique_ptr<pg_conn, Finish> connection_;
};

// Runs body between BEGIN and COMMIT on db; rolls back and raises again when
// body raises.
template <typename Body>
void InTransaction(DbConnection& db, Body body) {
  db.ExecScript("BEGIN");
  try {
    body();
  } catch (...) {
    try {
      db.ExecScript("ROLLBACK");
    } catch (const DbError&) {
      // The connection is gone: the server rolled back already.
    }
    throw;
  }
  db.ExecScript("COMMIT");
}

#endif  // QUELLOR_ARCHIVE_CENTRAL_DB_CONNECTION_H_
