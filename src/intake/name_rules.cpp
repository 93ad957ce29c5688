#include "intake/name_rules.h"

#include <cstring>

#include "job/runtime.h"
#include "intake/short_names.h"
#include "intake/utf8.h"

namespace pravel {
namespace {

constexpr char kNotCompliantText[] =
    "One or more directory or file names are not in compliance with ISO or UDF standards. Ignoring "
    "this warning may result in a disc that can not be accessed by some systems and characters "
    "outside the standard ASCII set may be lost or modified.";
constexpr char kNotCompliantCaption[] = "Ignore this and all similar errors?";
constexpr char kEncodingText[] =
    "The file/directory name [%s] is not valid UTF-8 text or holds a character beyond U+FFFF, "
    "which the DVD file systems can not carry.";
constexpr char kFormatErrorCaption[] = "Format error, aborting";

bool IsPathCharacter(char c) {
  const char upper = AsciiUpper(c);
  if (upper >= 'A' && upper <= 'Z') return true;
  if (upper >= '0' && upper <= '9') return true;
  return upper == '.' || upper == '/' || upper == '_';
}

char ByteFormCharacter(const Utf8Char& c, bool upperCase) {
  if (!c.valid || c.codePoint >= 0x80) return '_';
  const char byte = static_cast<char>(c.codePoint);
  return upperCase ? AsciiUpper(byte) : byte;
}

// An invalid byte stands for the Latin-1 character of its value.
uint16_t TwoByteFormCharacter(const Utf8Char& c, bool upperCase) {
  if (c.codePoint > 0xFFFF) return '_';
  const auto unit = static_cast<uint16_t>(c.codePoint);
  if (upperCase && unit >= 'a' && unit <= 'z') return static_cast<uint16_t>(unit - 'a' + 'A');
  return unit;
}

size_t WriteByteForm(uint8_t* field, const std::string& name, size_t size, bool upperCase) {
  size_t written = 0;
  for (size_t pos = 0; pos < name.size() && written < size;) {
    const Utf8Char c = ReadUtf8Char(name, pos);
    field[written++] = static_cast<uint8_t>(ByteFormCharacter(c, upperCase));
    pos += c.length;
  }
  return written;
}

size_t WriteTwoByteForm(uint8_t* field, const std::string& name, size_t size, bool upperCase) {
  size_t written = 0;
  for (size_t pos = 0; pos < name.size() && written + 2 <= size;) {
    const Utf8Char c = ReadUtf8Char(name, pos);
    const uint16_t unit = TwoByteFormCharacter(c, upperCase);
    field[written++] = static_cast<uint8_t>(unit >> 8);
    field[written++] = static_cast<uint8_t>(unit & 0xFF);
    pos += c.length;
  }
  return written;
}

}  // namespace

bool IsNameTooLong(const Job& job, const std::string& path) {
  if (!job.allowLongPaths && CharacterCount(path) > name_limits::kPath) return true;
  const size_t limit = job.relaxJoliet ? name_limits::kRelaxedName : name_limits::kName;
  return CharacterCount(LastComponent(path)) > limit;
}

bool IsPathCharacters(const std::string& text) {
  for (char c : text) {
    if (!IsPathCharacter(c)) return false;
  }
  return true;
}

bool CheckPathCharacters(Job& job, const std::string& path) {
  if (job.noWarningMessages) return true;
  const size_t start = (!path.empty() && path[0] == '/') ? 1 : 0;
  if (IsPathCharacters(path.substr(start))) return true;
  if (!AskYesNo(job, kNotCompliantText, kNotCompliantCaption)) return false;
  job.noWarningMessages = 1;
  return true;
}

bool CheckNameEncoding(Job& job, const std::string& path) {
  std::u16string characters;
  if (DecodeUtf8(path, characters)) return true;
  ShowMessage(job, Format(kEncodingText, DisplayableUtf8(path).c_str()), kFormatErrorCaption);
  return false;
}

void FillField(uint8_t* field, size_t size, FieldForm form, char fill) {
  if (form == FieldForm::kByte) {
    std::memset(field, static_cast<unsigned char>(fill), size);
    return;
  }
  for (size_t i = 0; i < size; ++i) field[i] = (i % 2 == 0) ? 0 : static_cast<uint8_t>(fill);
}

std::string LastComponent(const std::string& path) {
  std::string trimmed = path;
  if (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return trimmed;
  return trimmed.substr(slash + 1);
}

bool TakesShortName(const Job& job, const std::string& component, size_t capacity, bool asciiOnly) {
  if (job.isoLevel1Names) return true;
  return CharacterCount(component) > capacity || (asciiOnly && !IsAscii(component));
}

std::string IsoName(Job& job, const std::string& path, size_t capacity, bool asciiOnly) {
  const std::string component = LastComponent(path);
  if (!TakesShortName(job, component, capacity, asciiOnly)) return component;
  return ShortPathName(job, path);
}

void SetDiscRootEntries(Job& job, const std::vector<std::string>& lines) {
  std::vector<RootEntry> entries;
  entries.reserve(lines.size());
  for (const std::string& line : lines) {
    const bool folder = !line.empty() && line.back() == '/';
    const size_t capacity = folder ? name_limits::kDirectoryIdentifier : name_limits::kFileIdentifier;
    entries.push_back({line, !TakesShortName(job, LastComponent(line), capacity, true)});
  }
  SetRootEntries(job, entries);
}

size_t WriteIdentifierField(Job& job, uint8_t* field, const std::string& text, size_t size,
                            FieldForm form, bool isPath) {
  const bool byteForm = form == FieldForm::kByte;
  const size_t capacity = byteForm ? size : size / 2;
  const std::string name = isPath ? IsoName(job, text, capacity, byteForm) : text;
  const bool upperCase = job.upperCaseNames != 0;
  if (byteForm) return WriteByteForm(field, name, size, upperCase);
  return WriteTwoByteForm(field, name, size, upperCase);
}

size_t TwoByteToBytes(char* target, const uint8_t* twoByte, size_t size) {
  const size_t count = size / 2;
  for (size_t i = 0; i < count; ++i) target[i] = static_cast<char>(twoByte[2 * i + 1]);
  return count;
}

}  // namespace pravel
