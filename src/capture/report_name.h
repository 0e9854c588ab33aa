#ifndef QUELLOR_CAPTURE_REPORT_NAME_H_
#define QUELLOR_CAPTURE_REPORT_NAME_H_

#include <string>

// The report's name from its first non-blank line among the first five
// CR LF-terminated lines: one of the five journal names, else up to 16
// characters of the line with blanks removed and every character that is not
// an ASCII letter or digit made "_". "" when there is no such line: the
// report is then not stored.
std::string GetReportName(const std::string& text);

#endif  // QUELLOR_CAPTURE_REPORT_NAME_H_
