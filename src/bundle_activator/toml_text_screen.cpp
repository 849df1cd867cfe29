#include "bundle_activator/toml_text_screen.h"

#include <algorithm>
#include <toml/exception.hpp>

namespace velk::zorv_comm {
namespace {

unsigned char byteAt(const std::string& text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Length of the valid sequence starting at i, or 0 when it is not one.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
  const unsigned char lead = byteAt(text, i);
  if (lead < 0x80U) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80U;   // bounds of the second byte, which rule out
  unsigned char high = 0xBFU;  // overlong forms, surrogates and > U+10FFFF
  if (lead >= 0xC2U && lead <= 0xDFU) {
    length = 2;
  } else if (lead >= 0xE0U && lead <= 0xEFU) {
    length = 3;
    if (lead == 0xE0U) low = 0xA0U;
    if (lead == 0xEDU) high = 0x9FU;
  } else if (lead >= 0xF0U && lead <= 0xF4U) {
    length = 4;
    if (lead == 0xF0U) low = 0x90U;
    if (lead == 0xF4U) high = 0x8FU;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  const unsigned char second = byteAt(text, i + 1);
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!isContinuation(byteAt(text, i + k))) return 0;
  }
  return length;
}

// Where a string that opens at i ends (one past its closing quotes), for
// the four TOML string forms; text.size() when it never closes.
std::size_t skipString(const std::string& text, std::size_t i) {
  const char quote = text[i];
  const bool multiLine = text.compare(i, 3, std::string(3, quote)) == 0;
  const std::size_t open = multiLine ? 3 : 1;
  for (std::size_t k = i + open; k < text.size(); ++k) {
    if (quote == '"' && text[k] == '\\') {
      ++k;  // an escaped character never closes the string
    } else if (!multiLine && text[k] == '\n') {
      return k;  // toml11 reports the unclosed string itself
    } else if (multiLine ? text.compare(k, 3, std::string(3, quote)) == 0 : text[k] == quote) {
      return k + open;
    }
  }
  return text.size();
}

[[noreturn]] void refuse(const std::string& text, std::size_t offset, const std::string& source,
                         const std::string& what) {
  const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n');
  throw toml::syntax_error("[error] " + source + ": line " + std::to_string(line) + ": " + what,
                           toml::source_location());
}

}  // namespace

void TomlTextScreen::check(const std::string& text, const std::string& source) {
  const std::size_t bad = firstInvalidUtf8(text);
  if (bad != std::string::npos) {
    refuse(text, bad, source, "byte " + std::to_string(bad) + " is not UTF-8");
  }
  const std::size_t deep = firstTooDeep(text, kMaxNesting);
  if (deep != std::string::npos) {
    refuse(text, deep, source,
           "arrays or inline tables nested deeper than " + std::to_string(kMaxNesting) + " levels");
  }
}

std::size_t TomlTextScreen::firstInvalidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = sequenceLength(text, i);
    if (length == 0) return i;
    i += length;
  }
  return std::string::npos;
}

std::size_t TomlTextScreen::firstTooDeep(const std::string& text, int limit) {
  int depth = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      i = skipString(text, i);
      continue;
    }
    if (c == '#') {
      const std::size_t end = text.find('\n', i);
      i = end == std::string::npos ? text.size() : end;
      continue;
    }
    if ((c == '[' || c == '{') && ++depth > limit) return i;
    if ((c == ']' || c == '}') && depth > 0) --depth;
    ++i;
  }
  return std::string::npos;
}

}  // namespace velk::zorv_comm
