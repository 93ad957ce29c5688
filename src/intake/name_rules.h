// The rules that carry source names onto the disc: the length limits and the
// character check applied while the sources are scanned, and the writers that
// turn a source name into an ISO 9660 identifier (one byte per character) or
// a Joliet identifier (UCS-2 big-endian, two bytes per character).
//
// Names are UTF-8 and every length is counted in characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"

namespace pravel {

namespace name_limits {
inline constexpr size_t kName = 64;                 // the last component of a path
inline constexpr size_t kRelaxedName = 110;         // with relaxJoliet
inline constexpr size_t kPath = 240;                // the whole path, unless allowLongPaths
inline constexpr size_t kFileIdentifier = 30;       // ISO file identifier before ";1"
inline constexpr size_t kDirectoryIdentifier = 31;  // ISO directory identifier
}  // namespace name_limits

// True when the path breaks a length limit: more than 240 characters (not
// tested when allowLongPaths is set), or a last component (the text after the
// last '/') of more than 64 characters (110 when relaxJoliet is set).
bool IsNameTooLong(const Job& job, const std::string& path);

// True when every character of the text, upper-cased, is a full stop, a digit,
// a letter A to Z, '/' or '_'. The space, the hyphen, every other punctuation
// mark and every byte of 0x80 and above are outside the set. "" gives true.
bool IsPathCharacters(const std::string& text);

// The character check of the scan on a full path. Skipped (true) when
// job.noWarningMessages is set. Otherwise the path after its leading '/' is
// tested, source folders above the selection included; on a failure the
// operator is asked whether to go on, caption "Ignore this and all similar
// errors?". Yes sets job.noWarningMessages = 1 (no later path is tested) and
// returns true; No returns false.
bool CheckPathCharacters(Job& job, const std::string& path);

// Refuses (false, after the message "The file/directory name [...] is not
// valid UTF-8 ..." with caption "Format error, aborting") a path that is not
// valid UTF-8 or holds a character beyond U+FFFF, the names the disc can not
// carry. The whole text given is tested.
bool CheckNameEncoding(Job& job, const std::string& path);

enum class FieldForm {
  kByte,     // ISO 9660: one byte per character
  kTwoByte,  // Joliet: UCS-2 big-endian, two bytes per character
};

// Prepares a field of `size` bytes: in the byte form every byte is `fill`;
// in the two-byte form every pair is 0x00 followed by `fill`, and with an odd
// size the last byte is 0x00.
void FillField(uint8_t* field, size_t size, FieldForm form, char fill);

// The text after the last '/' of a path (a trailing '/' is ignored first);
// the whole text when it holds no '/'.
std::string LastComponent(const std::string& path);

// The ISO name rule: the name a path takes in a field that holds `capacity`
// characters. With ISO Level 2 (isoLevel1Names == 0) the last component
// itself when it has at most `capacity` characters (and, with `asciiOnly`,
// holds no character outside ASCII); otherwise the component's 8.3 short
// name, "" when the path names no existing file.
std::string IsoName(Job& job, const std::string& path, size_t capacity, bool asciiOnly);

// True when the ISO name rule gives a last component its short name in a
// field of `capacity` characters (see IsoName).
bool TakesShortName(const Job& job, const std::string& component, size_t capacity, bool asciiOnly);

// Tells the short names which entries stand in the root of the disc, from
// their tree listing lines (a folder's with its trailing '/'), and which of
// them keep their own names in the ISO directory records.
void SetDiscRootEntries(Job& job, const std::vector<std::string>& lines);

// Writes an identifier into a field of `size` bytes prepared by FillField and
// returns the number of bytes written; the bytes behind it keep their fill.
//
// With `isPath` the text is a path and the ISO name rule picks the name, the
// capacity being `size` characters in the byte form and size / 2 in the
// two-byte form; in the byte form a name holding a character outside ASCII
// takes its short name. Without `isPath` the whole text is written. Callers
// wanting a Joliet identifier of an entry (its last component, whole) pass
// that component without `isPath`.
//
// Byte form: one byte per character, up to `size` bytes; a character outside
// ASCII (and each byte of an invalid sequence) is written as '_'.
// Two-byte form: each character as UCS-2 big-endian (high byte first; there
// is no marker byte), as many whole pairs as fit, so with an odd size the last
// byte keeps its fill. A character beyond U+FFFF is written as '_'; a byte of
// an invalid sequence is taken as the Latin-1 character of that value.
// With job.upperCaseNames set, the letters a to z are upper-cased (in both
// forms; other letters are left as they are).
size_t WriteIdentifierField(Job& job, uint8_t* field, const std::string& text, size_t size,
                            FieldForm form, bool isPath);

// Copies the low (second) byte of each pair of a two-byte identifier of
// `size` bytes into `target` (room for size / 2 bytes; no terminator is
// added) and returns the number of characters copied.
size_t TwoByteToBytes(char* target, const uint8_t* twoByte, size_t size);

}  // namespace pravel
