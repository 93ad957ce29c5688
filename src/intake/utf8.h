// UTF-8 text as the file system gives it, and the UCS-2 form of the Joliet
// and UDF identifiers.
//
// A name on the disc is a sequence of characters of the Basic Multilingual
// Plane (U+0000..U+FFFF): Joliet stores each as one 16-bit unit, so a
// character beyond U+FFFF can not be carried and a name holding one is
// refused by the scan like a name that is not UTF-8 at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pravel {

// One character read from UTF-8 text. An invalid sequence (a stray
// continuation byte, a truncated or overlong sequence, a surrogate, a value
// beyond U+10FFFF) is read as one byte: `valid` is false, `length` is 1 and
// `codePoint` is the byte's value.
struct Utf8Char {
  uint32_t codePoint = 0;
  size_t length = 1;
  bool valid = true;
};

// Reads the character that starts at byte `pos` (pos < text.size()).
Utf8Char ReadUtf8Char(std::string_view text, size_t pos);

// Decodes UTF-8 into UCS-2 code units (one unit per character). False when
// the text is not valid UTF-8 or holds a character beyond U+FFFF; `out` then
// holds the characters before the fault.
bool DecodeUtf8(const std::string& text, std::u16string& out);

// Characters, not bytes; every byte of an invalid sequence counts as one.
size_t CharacterCount(const std::string& utf8);

// Encodes UCS-2 (or UTF-16: surrogate pairs are joined) as UTF-8. A lone
// surrogate becomes U+FFFD.
std::string EncodeUtf8(const std::u16string& text);

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// The text with every byte of an invalid sequence replaced by U+FFFD, fit to
// be shown in a message.
std::string DisplayableUtf8(const std::string& text);

// ASCII upper case; every other byte (including each byte of a multi-byte
// character) is left alone.
char AsciiUpper(char c);
std::string AsciiUpper(std::string_view text);

}  // namespace pravel
