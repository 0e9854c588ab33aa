// Report text on its way into the files: normalised line ends are CR LF
// only, escaped text holds no markup, and unescaping gives back the
// normalised text exactly.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_support.h"
#include "output/text_helpers.h"

namespace {

// The inverse of EscapeXml: its three entities back to their characters.
// Anything else that starts with "&" is not EscapeXml's output.
std::string Unescape(const std::string& escaped) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}};
  std::string text;
  for (size_t at = 0; at < escaped.size();) {
    if (escaped[at] != '&') {
      text += escaped[at++];
      continue;
    }
    bool known = false;
    for (const auto& [entity, c] : kEntities) {
      if (std::string_view(escaped).substr(at).starts_with(entity)) {
        text += c;
        at += entity.size();
        known = true;
        break;
      }
    }
    Check(known);
  }
  return text;
}

// Every CR is followed by LF and every LF preceded by CR.
bool OnlyCrLf(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string normalized =
      NormalizeLineEnds(std::string(reinterpret_cast<const char*>(data), size));
  Check(OnlyCrLf(normalized));
  Check(NormalizeLineEnds(normalized) == normalized);
  const std::string escaped = EscapeXml(normalized);
  Check(escaped.find_first_of("<>") == std::string::npos);
  Check(Unescape(escaped) == normalized);
  return 0;
}
