#ifndef QUELLOR_ARCHIVE_DISTINCT_TRIGRAMS_H_
#define QUELLOR_ARCHIVE_DISTINCT_TRIGRAMS_H_

struct sqlite3;

// The name of a full-text tokenizer that matches as SQLite's "trigram" does
// (the same trigrams, folded alike) but hands each distinct trigram of a
// document on once. A table without positions (detail='none') needs no
// more, and a report's print-out repeats most of its trigrams many times:
// skipping them spares the table's costlier bookkeeping of each one.
inline constexpr char kDistinctTrigrams[] = "distinct_trigram";

// Makes kDistinctTrigrams known to db; every connection that reads or writes
// a table using it needs it. False when db's SQLite lacks the trigram
// tokenizer.
bool RegisterDistinctTrigrams(sqlite3* db);

#endif  // QUELLOR_ARCHIVE_DISTINCT_TRIGRAMS_H_
