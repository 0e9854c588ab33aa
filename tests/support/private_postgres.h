#ifndef QUELLOR_TESTS_SUPPORT_PRIVATE_POSTGRES_H_
#define QUELLOR_TESTS_SUPPORT_PRIVATE_POSTGRES_H_

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

// A PostgreSQL server of the test's own, from Debian's packages: initdb and
// pg_ctl into a temporary folder, run as the user nobody when run by root
// (the server refuses root), listening on a socket in that folder only (no
// TCP port). Its user "quellor" has a password, which clients read from the
// password file that PGPASSFILE names: this process's environment is set so.
// The server is stopped and its folder removed when the object goes.
class PrivatePostgres {
 public:
  // Makes and starts the server; check ok() before using it.
  PrivatePostgres();
  PrivatePostgres(const PrivatePostgres&) = delete;
  PrivatePostgres& operator=(const PrivatePostgres&) = delete;
  ~PrivatePostgres();

  // True when the server was made and started.
  bool ok() const { return ok_; }

  // Stops the server (fast shutdown: connections are cut) and starts it
  // again; true when it succeeded.
  bool Stop();
  bool Start();

  // The connection string of the database, without a password.
  std::string conninfo() const;

 private:
  // Runs a PostgreSQL program of bin_ as nobody; true when it succeeded.
  bool RunAsServer(const std::string& command_line) const;

  TempFolder folder_;
  std::string bin_, socket_folder_, data_;
  bool ok_ = false;
};

inline constexpr char kPostgresServerUser[] = "nobody";

// The bin folder of the newest PostgreSQL installed; "" when none is.
inline std::string PostgresBin() {
  std::string newest;
  std::error_code error;
  for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    const std::string bin = (version.path() / "bin").string();
    if (std::filesystem::exists(bin + "/pg_ctl") && bin > newest) newest = bin;
  }
  return newest;
}

inline PrivatePostgres::PrivatePostgres()
    : bin_(PostgresBin()), socket_folder_(folder_ / "pg"), data_(folder_ / "pg/data") {
  namespace fs = std::filesystem;
  const std::string password_file = folder_ / "password", pgpass = folder_ / "pgpass";
  WriteBytes(password_file, "private-secret\n");  // read by initdb as the server's user
  fs::permissions(password_file, fs::perms::others_read, fs::perm_options::add);
  WriteBytes(pgpass, "*:*:*:quellor:private-secret\n");
  // libpq ignores a password file that others can read.
  fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
  setenv("PGPASSFILE", pgpass.c_str(), 1);
  fs::create_directory(socket_folder_);
  if (bin_.empty() ||
      std::system(
          ("chown " + std::string(kPostgresServerUser) + " '" + socket_folder_ + "'").c_str()) !=
          0 ||
      !RunAsServer("initdb -D '" + data_ + "' -U quellor -E UTF8 --locale=C.UTF-8 --no-sync " +
                   "--auth=scram-sha-256 --pwfile='" + password_file + "' >/dev/null")) {
    return;
  }
  std::ofstream(data_ + "/postgresql.conf", std::ios::app)
      << "listen_addresses = ''\nunix_socket_directories = '" << socket_folder_
      << "'\nfsync = off\n";
  ok_ = Start();
}

inline PrivatePostgres::~PrivatePostgres() {
  if (ok_) RunAsServer("pg_ctl -D '" + data_ + "' -m immediate -w stop >/dev/null");
}

inline bool PrivatePostgres::Stop() {
  return RunAsServer("pg_ctl -D '" + data_ + "' -m fast -w stop >/dev/null");
}

inline bool PrivatePostgres::Start() {
  return RunAsServer("pg_ctl -D '" + data_ + "' -l '" + socket_folder_ +
                     "/log' -w -t 60 start >/dev/null");
}

inline std::string PrivatePostgres::conninfo() const {
  return "host=" + socket_folder_ + " user=quellor dbname=postgres";
}

inline bool PrivatePostgres::RunAsServer(const std::string& command_line) const {
  const std::string as_user =
      geteuid() == 0 ? "runuser -u " + std::string(kPostgresServerUser) + " -- " : "";
  return std::system(("cd / && " + as_user + bin_ + "/" + command_line).c_str()) == 0;
}

#endif  // QUELLOR_TESTS_SUPPORT_PRIVATE_POSTGRES_H_
