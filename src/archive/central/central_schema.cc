#include "archive/central/central_schema.h"

#include <iterator>
#include <string>

namespace {

// Each entry upgrades the schema from the version before it (index + 1 is
// the version it makes). Released steps are never edited: a change is a
// new step.
constexpr const char* kSteps[] = {
    // 1: every plant's reports, keyed by plant and file.
    R"sql(
CREATE TABLE reports (
  plant text NOT NULL,      -- the name given to publish --plant
  month text NOT NULL,      -- the month folder, "2005/Jan"
  file text NOT NULL,       -- the .xml name, "ProcessAlarmJournal_24Jan05_195034.xml"
  journal text NOT NULL,    -- the report name
  filed timestamp NOT NULL, -- the report's local time
  lines text NOT NULL,      -- the printed lines in UTF-8, one LF between two
  htm bytea,                -- the .htm file as written; NULL while there is none
  stamp text NOT NULL,      -- sizes and times of the two files as published
  PRIMARY KEY (plant, month, file)
))sql",
    // 2: search across plants through trigrams, newest reports first.
    R"sql(
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE INDEX reports_lines_trigrams ON reports USING gin (lines gin_trgm_ops);
CREATE INDEX reports_by_time ON reports (filed)
)sql",
};

// Any number, the same in every publisher: the key of the upgrade lock.
constexpr char kUpgradeLock[] = "SELECT pg_advisory_xact_lock(7046510533)";

}  // namespace

int LatestSchemaVersion() { return static_cast<int>(std::size(kSteps)); }

int SchemaVersion(DbConnection& db) {
  if (db.Exec("SELECT to_regclass('quellor_schema') IS NULL").Value(0, 0) == "t") return 0;
  return std::stoi(std::string(db.Exec("SELECT version FROM quellor_schema").Value(0, 0)));
}

void UpgradeSchema(DbConnection& db, int target) {
  for (bool done = false; !done;) {
    InTransaction(db, [&] {
      db.Exec(kUpgradeLock);
      const int version = SchemaVersion(db);
      if (version > LatestSchemaVersion()) {
        throw DbError("the central database has schema version " + std::to_string(version) +
                      ", newer than this program's " + std::to_string(LatestSchemaVersion()) +
                      ": update QuellorArchive");
      }
      done = version >= target;
      if (done) return;
      if (version == 0) {
        db.ExecScript(
            "CREATE TABLE quellor_schema (version integer NOT NULL); "
            "INSERT INTO quellor_schema VALUES (0)");
      }
      db.ExecScript(kSteps[version]);
      db.Exec("UPDATE quellor_schema SET version = $1", {{std::to_string(version + 1)}});
    });
  }
}
