#ifndef QUELLOR_ARCHIVE_VERIFY_H_
#define QUELLOR_ARCHIVE_VERIFY_H_

#include <ostream>
#include <string>

// Checks every YEAR/Mon folder of data_folder: dir.xml well-formed, every
// report .xml listed exactly once, every listed file present, an .htm beside
// each .xml and an .xml beside each .htm, no temporary file left over.
// Writes one line per problem ("2005/Jan/X.xml: not listed in dir.xml") and
// a summary line to out; returns the number of problems.
size_t VerifyArchive(const std::string& data_folder, std::ostream& out);

#endif  // QUELLOR_ARCHIVE_VERIFY_H_
