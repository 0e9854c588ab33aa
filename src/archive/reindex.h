#ifndef QUELLOR_ARCHIVE_REINDEX_H_
#define QUELLOR_ARCHIVE_REINDEX_H_

#include <ostream>
#include <string>

// Rebuilds month_folder's dir.xml from its report files: the bytes the
// service would have written had it filed them in time order. The old index
// is kept as dir.xml.bak (dir.xml.bak2, ... when that name is taken). Refuses,
// changing nothing, when the folder is not a YEAR/Mon folder, holds no
// reports, or a service seems to be writing there (a temporary file younger
// than a few seconds, or dir.xml changing meanwhile). Writes what it did,
// and each file it left out, to out; false with the reason in *error.
bool ReindexMonth(const std::string& month_folder, std::ostream& out, std::string* error);

#endif  // QUELLOR_ARCHIVE_REINDEX_H_
