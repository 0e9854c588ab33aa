#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SCHEMA_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SCHEMA_H_

#include "archive/central/db_connection.h"

// The central database's tables, created and upgraded by the program. The
// table quellor_schema holds the version; each version is one step from the
// one before, so a database of any earlier version is brought up to date.

// The newest version this program knows.
int LatestSchemaVersion();

// The database's version; 0 when it has no schema yet.
int SchemaVersion(DbConnection& db);

// Brings db's schema to version target, one step per transaction, under an
// advisory lock so that publishers starting together upgrade it once.
// Raises DbError when a step fails or db's schema is newer than this
// program.
void UpgradeSchema(DbConnection& db, int target = LatestSchemaVersion());

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_SCHEMA_H_
