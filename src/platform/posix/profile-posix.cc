// The initialization-file functions for systems without kernel32: a small
// reader and writer that behaves as the Windows profile functions do.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/profile.h"
#include "util/trim.h"

namespace profile {
namespace {

constexpr char kBlanks[] = " \t";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One line of the file, as the reader sees it.
struct Line {
  enum Kind { kOther, kSection, kEntry } kind = kOther;
  std::string name;   // section name or key, trimmed
  std::string value;  // entry value, trimmed
};

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A value quoted at both ends with the same quote loses the pair.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Splits at LF, dropping a CR before it, so CR LF and LF files read alike.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

Line ParseLine(const std::string& raw) {
  const std::string text(Trim(raw, kBlanks));
  Line line;
  if (text.empty() || text.front() == ';') return line;
  if (text.front() == '[') {
    line.kind = Line::kSection;
    line.name = Trim(text.substr(1, text.find(']') - 1), kBlanks);
    return line;
  }
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return line;
  line.kind = Line::kEntry;
  line.name = Trim(text.substr(0, equals), kBlanks);
  line.value = Trim(text.substr(equals + 1), kBlanks);
  return line;
}

std::vector<Line> ParseLines(const std::vector<std::string>& lines) {
  std::vector<Line> parsed;
  parsed.reserve(lines.size());
  for (const auto& line : lines) parsed.push_back(ParseLine(line));
  return parsed;
}

// The half-open line range [first entry line, next section header) of the
// first section named `section`, or nothing.
struct Range {
  size_t begin;
  size_t end;
};
std::optional<Range> FindSection(const std::vector<Line>& lines, const std::string& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::kSection || !SameName(lines[i].name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && lines[end].kind != Line::kSection) ++end;
    return Range{i + 1, end};
  }
  return std::nullopt;
}

// The index of the first entry named `key` within range, or nothing.
std::optional<size_t> FindKey(const std::vector<Line>& lines, Range range, const std::string& key) {
  for (size_t i = range.begin; i < range.end; ++i) {
    if (lines[i].kind == Line::kEntry && SameName(lines[i].name, key)) return i;
  }
  return std::nullopt;
}

// Reads the file's text without the UTF-8 byte-order mark that editors put
// before it, which would otherwise hide the first section; *bom tells
// whether it was there. False when the file cannot be read.
bool ReadText(const std::string& file_name, std::string* text, bool* bom) {
  if (!ReadWholeFile(file_name, text, nullptr)) return false;
  *bom = text->starts_with(kUtf8Bom);
  if (*bom) text->erase(0, sizeof(kUtf8Bom) - 1);
  return true;
}

std::vector<Line> LoadLines(const std::string& file_name) {
  std::string text;
  bool bom = false;
  if (!ReadText(file_name, &text, &bom)) return {};
  return ParseLines(SplitLines(text));
}

// Copies up to size - 1 characters and a NUL; the count copied.
unsigned CopyCut(const std::string& text, char* buffer, unsigned size) {
  if (size == 0) return 0;
  const unsigned count = static_cast<unsigned>(std::min<size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return count;
}

// The last line of the range that is not blank, so that a new key goes right
// after the section's last entry rather than after the blank lines before
// the next section.
size_t InsertionPoint(const std::vector<std::string>& raw, Range range) {
  size_t at = range.end;
  while (at > range.begin && Trim(raw[at - 1], kBlanks).empty()) --at;
  return at;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& line_end) {
  std::string text;
  for (const auto& line : lines) text += line + line_end;
  return text;
}

}  // namespace

unsigned GetString(const std::string& section, const std::string& key,
                   const std::string& default_value, char* buffer, unsigned size,
                   const std::string& file_name) {
  const std::vector<Line> lines = LoadLines(file_name);
  std::string value = default_value;
  if (const auto range = FindSection(lines, section)) {
    if (const auto at = FindKey(lines, *range, key)) value = Unquote(lines[*at].value);
  }
  return CopyCut(value, buffer, size);
}

bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& file_name) {
  std::string text;
  bool bom = false;
  const bool existed = ReadText(file_name, &text, &bom);
  // Keep the file's own line ends; a new file gets the platform's.
  const std::string line_end = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::vector<std::string> raw = SplitLines(text);
  const std::vector<Line> lines = ParseLines(raw);
  const std::string entry = key + "=" + value;

  if (const auto range = FindSection(lines, section)) {
    if (const auto at = FindKey(lines, *range, key)) {
      raw[*at] = entry;
    } else {
      raw.insert(raw.begin() + InsertionPoint(raw, *range), entry);
    }
  } else {
    if (existed && !raw.empty() && !Trim(raw.back(), kBlanks).empty()) raw.push_back("");
    raw.push_back("[" + section + "]");
    raw.push_back(entry);
  }
  return WriteFileReplacing(file_name, (bom ? kUtf8Bom : "") + JoinLines(raw, line_end), nullptr);
}

unsigned GetSection(const std::string& section, char* buffer, unsigned size,
                    const std::string& file_name) {
  if (size == 0) return 0;
  const std::vector<Line> lines = LoadLines(file_name);
  std::string entries;
  if (const auto range = FindSection(lines, section)) {
    for (size_t i = range->begin; i < range->end; ++i) {
      if (lines[i].kind == Line::kEntry) {
        entries += lines[i].name + "=" + lines[i].value + '\0';
      }
    }
  }
  if (entries.size() + 1 <= size) {
    std::memcpy(buffer, entries.data(), entries.size());
    buffer[entries.size()] = '\0';
    return static_cast<unsigned>(entries.size());
  }
  // Too small: the last entry is cut and followed by two NULs.
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, entries.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

}  // namespace profile
