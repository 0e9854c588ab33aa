#include "archive/central/db_connection.h"

#include <libpq-fe.h>

#include <string>

namespace {

// libpq's message without its final line break.
std::string Message(const char* text) {
  std::string message = text != nullptr ? text : "";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

}  // namespace

void CheckConnectionString(const std::string& conninfo) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
  if (options == nullptr) {
    const std::string message = Message(error);
    PQfreemem(error);
    throw DbError("invalid connection string: " + message);
  }
  bool password = false;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    password = password || (std::string(option->keyword) == "password" && option->val != nullptr &&
                            *option->val != '\0');
  }
  PQconninfoFree(options);
  if (password) {
    throw DbError(
        "the connection string holds a password, which the process list would show: "
        "put it in a password file (PGPASSFILE) or a service file (PGSERVICE)");
  }
}

DbResult::DbResult(pg_result* result) : result_(result) {}

DbResult::~DbResult() = default;

void DbResult::Clear::operator()(pg_result* result) const { PQclear(result); }

int DbResult::rows() const { return PQntuples(result_.get()); }

std::string_view DbResult::Value(int row, int column) const {
  return {PQgetvalue(result_.get(), row, column),
          static_cast<size_t>(PQgetlength(result_.get(), row, column))};
}

bool DbResult::IsNull(int row, int column) const {
  return PQgetisnull(result_.get(), row, column) != 0;
}

bool DbResult::succeeded() const {
  const ExecStatusType status = PQresultStatus(result_.get());
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

void DbConnection::Finish::operator()(pg_conn* connection) const { PQfinish(connection); }

DbConnection::DbConnection(const std::string& conninfo) {
  CheckConnectionString(conninfo);
  connection_.reset(PQconnectdb(conninfo.c_str()));
  if (PQstatus(connection_.get()) != CONNECTION_OK) {
    throw DbError(Message(PQerrorMessage(connection_.get())));
  }
  ExecScript("SET client_encoding = 'UTF8'; SET application_name = 'QuellorArchive'");
}

DbConnection::~DbConnection() = default;

DbResult DbConnection::Exec(std::string_view sql, const std::vector<DbParam>& params,
                            bool binary_results) {
  // libpq takes text parameters as C strings.
  std::vector<std::string> texts(params.size());
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (size_t i = 0; i < params.size(); ++i) {
    const DbParam& param = params[i];
    if (!param.binary) texts[i] = param.value;
    values.push_back(param.null ? nullptr : param.binary ? param.value.data() : texts[i].c_str());
    lengths.push_back(static_cast<int>(param.value.size()));
    formats.push_back(param.binary ? 1 : 0);
  }
  return Checked(PQexecParams(connection_.get(), std::string(sql).c_str(),
                              static_cast<int>(params.size()), nullptr, values.data(),
                              lengths.data(), formats.data(), binary_results ? 1 : 0));
}

void DbConnection::ExecScript(std::string_view sql) {
  Checked(PQexec(connection_.get(), std::string(sql).c_str()));
}

DbResult DbConnection::Checked(pg_result* result) {
  DbResult checked(result);
  if (!checked.succeeded()) throw DbError(Message(PQerrorMessage(connection_.get())));
  return checked;
}
