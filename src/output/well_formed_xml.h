#ifndef QUELLOR_OUTPUT_WELL_FORMED_XML_H_
#define QUELLOR_OUTPUT_WELL_FORMED_XML_H_

#include <string_view>

// True when document is a well-formed XML 1.0 document, as a conforming
// parser decides. An index that is not is never modified, whatever a more
// lenient reader would make of it. The documents this program writes are
// single-byte text: one that holds a NUL byte (and so any UTF-16 document)
// is refused. Bytes that are not UTF-8 are accepted when the document is
// well-formed read as ISO-8859-1: indexes written on systems with a
// single-byte code page hold regional month names in that code page.
bool IsWellFormedXml(std::string_view document);

// The length of the valid UTF-8 sequence at text[at]; 0 when none starts
// there (also for overlong forms, surrogates and code points past U+10FFFF).
size_t Utf8SequenceLength(std::string_view text, size_t at);

// True when text is UTF-8 throughout (plain ASCII is).
bool IsUtf8(std::string_view text);

#endif  // QUELLOR_OUTPUT_WELL_FORMED_XML_H_
