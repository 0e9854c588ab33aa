#include "output/well_formed_xml.h"

#include <pugixml.hpp>

bool IsWellFormedXml(std::string_view document) {
  pugi::xml_document parsed;
  return parsed.load_buffer(document.data(), document.size(), pugi::parse_default).status ==
         pugi::status_ok;
}
