#include "output/text_helpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "util/numbered_error.h"

namespace {

std::array<std::string, 12> month_names;
SystemRegionalSettings regional;

// A byte that a replacement pass replaces, and what it becomes.
struct ByteReplacement {
  char byte;
  std::string_view text;
};

// Where byte next occurs in [from, end), or end.
const char* NextOf(char byte, const char* from, const char* end) {
  const void* at = std::memchr(from, byte, static_cast<size_t>(end - from));
  return at != nullptr ? static_cast<const char*>(at) : end;
}

// One left-to-right replacement pass over text that puts each table byte's
// replacement in its place; inserted text is not scanned again. The bytes
// are distinct. memchr finds them (a first scan sizes the result exactly)
// and the runs between are copied whole: a byte-by-byte loop, or appending
// piece by piece, costs several times more on long reports.
template <size_t N>
std::string ReplaceBytes(const std::string& text, const std::array<ByteReplacement, N>& table) {
  const char* done = text.data();
  const char* const end = done + text.size();
  size_t size = text.size();
  for (const ByteReplacement& r : table) {
    for (const char* at = NextOf(r.byte, done, end); at != end; at = NextOf(r.byte, at + 1, end)) {
      size = size - 1 + r.text.size();
    }
  }
  std::string result(size, '\0');
  char* out = result.data();
  std::array<const char*, N> next;
  for (size_t i = 0; i < N; ++i) next[i] = NextOf(table[i].byte, done, end);
  for (;;) {
    const size_t i = static_cast<size_t>(std::min_element(next.begin(), next.end()) - next.begin());
    out = std::copy(done, next[i], out);
    if (next[i] == end) return result;
    out = std::copy(table[i].text.begin(), table[i].text.end(), out);
    done = next[i] + 1;
    next[i] = NextOf(table[i].byte, done, end);
  }
}

// CR LF and a lone CR both end a line, a lone LF does not: dropping every LF
// and making every CR a CR LF does both in one pass.
constexpr std::array<ByteReplacement, 2> kLineEnds{{{'\n', ""}, {'\r', "\r\n"}}};

// One pass replaces the ampersands of the text only, never those of the
// entities it inserts.
constexpr std::array<ByteReplacement, 3> kXmlMarkup{{{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}}};

// The number with at least `digits` digits, leading zeros added.
std::string ZeroPadded(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  return text;
}

// "hh:nn:ss" with the given separator in place of ":".
std::string ClockTime(const LocalTime& t, const std::string& separator) {
  return TwoDigits(t.hour) + separator + TwoDigits(t.minute) + separator + TwoDigits(t.second);
}

}  // namespace

std::string TwoDigits(int value) { return ZeroPadded(value, 2); }

std::string NormalizeLineEnds(const std::string& text) { return ReplaceBytes(text, kLineEnds); }

std::string EscapeXml(const std::string& text) { return ReplaceBytes(text, kXmlMarkup); }

void InitMonthNames() { month_names = EnglishMonths(); }

const std::array<std::string, 12>& MonthNames() { return month_names; }

void SetRegional(const SystemRegionalSettings& settings) { regional = settings; }

const RegionalSettings& Regional(TextEncoding encoding) {
  static const RegionalSettings english;
  if (encoding == TextEncoding::kEnglish) return english;
  return encoding == TextEncoding::kUtf8 ? regional.utf8 : regional.local;
}

const std::string& RegionalMonth(const LocalTime& t, TextEncoding encoding) {
  if (t.month < 1 || t.month > 12) throw SubscriptError();
  return Regional(encoding).month_abbreviations[t.month - 1];
}

std::string CodePageToUtf8(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (unsigned char byte : text) utf8 += regional.code_page[byte];
  return utf8;
}

std::string Utf8ToCodePage(std::string_view utf8) {
  std::string text;
  for (size_t at = 0; at < utf8.size();) {
    size_t byte = static_cast<unsigned char>(utf8[at]) < 0x80 ? 256 : 0x80;
    while (byte < 256 && !utf8.substr(at).starts_with(regional.code_page[byte])) ++byte;
    if (byte < 256) {
      text += static_cast<char>(byte);
      at += regional.code_page[byte].size();
    } else {
      text += utf8[at++];
    }
  }
  return text;
}

std::string FormatTimestamp(const LocalTime& t, TextEncoding encoding) {
  return TwoDigits(t.day) + " " + RegionalMonth(t, encoding) + " " + ZeroPadded(t.year, 4) + "  " +
         ClockTime(t, Regional(encoding).time_separator);
}

std::string FormatLogTime(const LocalTime& t) {
  const TextEncoding local = TextEncoding::kLocal;
  return TwoDigits(t.day) + "-" + RegionalMonth(t, local) + "-" + ZeroPadded(t.year, 4) + " " +
         ClockTime(t, Regional(local).time_separator) + "  ";
}
