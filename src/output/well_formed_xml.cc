#include "output/well_formed_xml.h"

#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace {

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// Parses document, read in encoding (nullptr: as it declares, else UTF-8).
// Returns the first fault, XML_ERROR_NONE when there is none, with the
// offset of the byte where it was found in *offset.
XML_Error FirstFault(std::string_view document, const char* encoding, size_t* offset) {
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(encoding));
  if (parser == nullptr) return XML_ERROR_NO_MEMORY;
  // The parser takes an int length: pieces of at most 1 GiB.
  constexpr size_t kPiece = size_t{1} << 30;
  for (std::string_view rest = document;;) {
    const size_t size = std::min(rest.size(), kPiece);
    const bool last = size == rest.size();
    if (XML_Parse(parser.get(), rest.data(), static_cast<int>(size), last) != XML_STATUS_OK) {
      *offset = static_cast<size_t>(XML_GetCurrentByteIndex(parser.get()));
      return XML_GetErrorCode(parser.get());
    }
    if (last) return XML_ERROR_NONE;
    rest.remove_prefix(size);
  }
}

}  // namespace

bool IsWellFormedXml(std::string_view document) {
  if (document.find('\0') != std::string_view::npos) return false;
  size_t offset = 0;
  const XML_Error fault = FirstFault(document, nullptr, &offset);
  if (fault == XML_ERROR_NONE) return true;
  // A byte that is not UTF-8 (0xE4 for the "a umlaut" of a month name in a
  // Western code page) is no fault of the markup. Read as ISO-8859-1, in
  // which every byte is a character, the document shows its other faults.
  const bool not_utf8 = fault == XML_ERROR_INVALID_TOKEN && offset < document.size() &&
                        static_cast<unsigned char>(document[offset]) >= 0x80;
  return not_utf8 && FirstFault(document, "ISO-8859-1", &offset) == XML_ERROR_NONE;
}

size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0) ||
      (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90)) {
    return 0;
  }
  return length;
}

bool IsUtf8(std::string_view text) {
  for (size_t at = 0, length; at < text.size(); at += length) {
    length = Utf8SequenceLength(text, at);
    if (length == 0) return false;
  }
  return true;
}
