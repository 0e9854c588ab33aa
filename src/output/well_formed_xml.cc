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

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    // How many continuation bytes (10xxxxxx) the lead byte announces.
    const size_t follow = lead < 0x80                   ? 0
                          : lead >= 0xC2 && lead < 0xE0 ? 1
                          : lead >= 0xE0 && lead < 0xF0 ? 2
                          : lead >= 0xF0 && lead < 0xF5 ? 3
                                                        : 4;
    if (follow > 3 || text.size() - at < follow) return false;
    for (const size_t end = at + follow; at < end; ++at) {
      if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return false;
    }
  }
  return true;
}
