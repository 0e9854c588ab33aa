#ifndef QUELLOR_ARCHIVE_REINDEX_H_
#define QUELLOR_ARCHIVE_REINDEX_H_

#include <ostream>
#include <string>

// Rebuilds month_folder's dir.xml from its report files, holding the index
// lock that the service takes to add an entry: the entries the service
// writes, file names as found, in filing order (the order of the old index
// for the reports it lists; any other report before the first one filed
// after it). An index that already holds exactly those entries is left
// alone. The old index is kept as dir.xml.bak (dir.xml.bak2, ... when that
// name is taken). Refuses, changing nothing, when the folder is not a
// YEAR/Mon folder, holds no reports or the new index would not be
// well-formed. Writes what it did, and each file it left out, to out; false
// with the reason in *error.
bool ReindexMonth(const std::string& month_folder, std::ostream& out, std::string* error);

#endif  // QUELLOR_ARCHIVE_REINDEX_H_
