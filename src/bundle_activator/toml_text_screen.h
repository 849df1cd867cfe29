#pragma once

#include <cstddef>
#include <string>

namespace velk::zorv_comm {

// Checks the host's option text before toml11 sees it. toml11 reads past
// the end of its buffer while composing the error for a byte that is not
// UTF-8, and it recurses once per nesting level, so a few thousand nested
// brackets overflow the caller's stack. Both are refused here with a
// toml::syntax_error naming the source, like any other syntax error.
class TomlTextScreen {
 public:
  // Far deeper than any option file; far shallower than what toml11's
  // recursion can take on a thread's stack.
  static constexpr int kMaxNesting = 64;

  // Throws toml::syntax_error when text is not valid UTF-8 or nests arrays
  // and inline tables deeper than kMaxNesting; the message names the source
  // and the line.
  static void check(const std::string& text, const std::string& source);

  // Offset of the first byte that does not belong to a valid UTF-8 sequence
  // (overlong forms, surrogates and code points above U+10FFFF included),
  // or npos when there is none.
  static std::size_t firstInvalidUtf8(const std::string& text);

  // Offset of the first '[' or '{' outside strings and comments that opens
  // a level deeper than `limit`, or npos when there is none.
  static std::size_t firstTooDeep(const std::string& text, int limit);
};

}  // namespace velk::zorv_comm
