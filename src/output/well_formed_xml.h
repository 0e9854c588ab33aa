#ifndef QUELLOR_OUTPUT_WELL_FORMED_XML_H_
#define QUELLOR_OUTPUT_WELL_FORMED_XML_H_

#include <string_view>

// True when document is a well-formed XML 1.0 document. An index that is not
// is never modified, whatever a more lenient reader would make of it.
bool IsWellFormedXml(std::string_view document);

#endif  // QUELLOR_OUTPUT_WELL_FORMED_XML_H_
