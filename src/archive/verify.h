#ifndef QUELLOR_ARCHIVE_VERIFY_H_
#define QUELLOR_ARCHIVE_VERIFY_H_

#include <ostream>
#include <string>

// Checks every YEAR/Mon folder of data_folder: dir.xml well-formed, every
// report .xml listed exactly once with the name and time stamp its file name
// gives, every listed file present, an .htm beside each .xml and an .xml
// beside each .htm, each .xml holding the lines of its .htm page and that
// page whole, no temporary file left over. A file written in the last few
// seconds may be one a service is filing: its missing partner or index
// entry is no problem yet. Writes one line per problem
// ("2005/Jan/X.xml: not listed in dir.xml") and a summary line to out and
// sets *problems to their number. False, with the reason in *error, when
// data_folder holds no YEAR/Mon folder (a month folder, the folder above).
bool VerifyArchive(const std::string& data_folder, std::ostream& out, size_t* problems,
                   std::string* error);

#endif  // QUELLOR_ARCHIVE_VERIFY_H_
