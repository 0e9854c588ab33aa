#ifndef QUELLOR_OUTPUT_REPORT_WRITER_H_
#define QUELLOR_OUTPUT_REPORT_WRITER_H_

#include <string>

#include "output/report_index.h"
#include "platform/clock.h"

// Files a report as data_folder/YEAR/Mon/Name_ddMonyy_hhnnss.htm and .xml and
// records it in that month's dir.xml. report_name is made of ASCII letters,
// digits and "_"; report_text has CR LF line ends. Never throws: a report
// that cannot be stored leaves one log line naming it and the reason. A name
// already taken in the same second gets "_2", "_3", ... before the extension.
void WriteReport(const std::string& data_folder, const std::string& report_name,
                 const std::string& report_text, const Clock& clock = SystemClock());

// WriteReport with the instant t for the folders, names and index entry.
// True when the report's files were written (an index failure aside).
bool WriteReportAt(const std::string& data_folder, const std::string& report_name,
                   const std::string& report_text, const LocalTime& t);

// WriteReportAt for a report that a process which ended part way may have
// begun to file at t: a name of t whose .htm holds this very report is its
// earlier filing, which gets only what it lacks (the .xml file, the index
// entry); no second copy is made. Temporary files left in the month folder
// are removed. True when the report's files are in place. A failure is
// logged as WriteReportAt's is, unless reason is given: it then takes the
// reason and nothing is logged (a retry of a failure told before).
bool CompleteReportAt(const std::string& data_folder, const std::string& report_name,
                      const std::string& report_text, const LocalTime& t,
                      std::string* reason = nullptr);

#endif  // QUELLOR_OUTPUT_REPORT_WRITER_H_
