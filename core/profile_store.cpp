#include "core/profile_store.h"

#include <vector>

#include "core/codepage.h"
#include "core/file_io.h"
#include "core/text_lines.h"

namespace tellurix {

namespace {

// Blanks around names and values: space, tab and vertical tab.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Names compare without regard to ASCII letter case. In a double-byte code page
// such as 936 the second byte of a two-byte character may look like an ASCII
// letter, so the byte after a lead byte is compared exactly. In UTF-8 no byte of
// a multi-byte character is in the ASCII range, so folding every byte is right.
bool SameName(std::string_view a, std::string_view b, bool utf8) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!utf8 && IsAnsiLeadByte(static_cast<unsigned char>(a[i]))) {
      if (a[i] != b[i]) return false;
      ++i;  // the trail byte
      if (i < a.size() && a[i] != b[i]) return false;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// What one line of an INI file is.
struct Parsed {
  enum class Kind { Other, Section, Key } kind = Kind::Other;
  std::string_view name;   // section or key name, blanks removed
  std::string_view value;  // a key's raw value, blanks removed
};

Parsed Parse(std::string_view line) {
  const std::string_view text = Trim(line);
  Parsed parsed;
  if (text.empty() || text.front() == ';') return parsed;  // blank or comment
  if (text.front() == '[') {
    const size_t close = text.rfind(']');
    if (close != std::string_view::npos) {
      parsed.kind = Parsed::Kind::Section;
      parsed.name = Trim(text.substr(1, close - 1));
      return parsed;
    }
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return parsed;  // a line without "=" is no key
  parsed.kind = Parsed::Kind::Key;
  parsed.name = Trim(text.substr(0, equals));
  parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

// Where a key stands in a file, or where it would go.
struct Place {
  std::vector<TextLine> lines;
  std::optional<size_t> section;  // header line of the first matching section
  std::optional<size_t> key;      // the first matching key line in it
  std::optional<size_t> lastKey;  // the section's last key line
};

Place Locate(std::string_view body, std::string_view section, std::string_view key, bool utf8) {
  Place place;
  place.lines = SplitLines(body);
  bool inside = false;
  for (size_t i = 0; i < place.lines.size(); ++i) {
    const Parsed parsed = Parse(place.lines[i].text);
    if (parsed.kind == Parsed::Kind::Section) {
      if (inside) break;  // the first section of that name is the one
      inside = SameName(parsed.name, section, utf8);
      if (inside) place.section = i;
    } else if (inside && parsed.kind == Parsed::Kind::Key) {
      place.lastKey = i;
      if (!place.key && SameName(parsed.name, key, utf8)) place.key = i;
    }
  }
  return place;
}

std::string_view WithoutBom(std::string_view bytes) {
  return StartsWithUtf8Bom(bytes) ? bytes.substr(kUtf8Bom.size()) : bytes;
}

}  // namespace

namespace ini {

std::optional<std::string> Lookup(std::string_view file, std::string_view section, std::string_view key) {
  const Place place = Locate(WithoutBom(file), section, key, StartsWithUtf8Bom(file));
  if (!place.key) return std::nullopt;
  return std::string(Unquoted(Parse(place.lines[*place.key].text).value));
}

std::string Assign(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view bom = StartsWithUtf8Bom(file) ? kUtf8Bom : std::string_view();
  const std::string_view body = file.substr(bom.size());
  const std::string_view lineBreak = PreferredBreak(body);
  const std::string entry = std::string(key) + "=" + std::string(value);
  const Place place = Locate(body, section, key, !bom.empty());

  std::string out(bom);
  out.reserve(file.size() + entry.size() + section.size() + 8);
  auto append = [&](const TextLine& line) {
    out.append(line.text);
    out.append(line.brk);
  };

  if (!place.section) {
    out.append(body);
    if (!body.empty() && body.back() != '\n' && body.back() != '\r') out.append(lineBreak);
    out.append("[").append(section).append("]").append(lineBreak);
    out.append(entry).append(lineBreak);
    return out;
  }
  // A replaced line keeps its own line break (and gets one at the end of a file
  // without a final break: every line written ends in one, as the platform's
  // own writer does); an added one goes after the section's last key (or its
  // header), before the comments that follow.
  const size_t after = place.lastKey ? *place.lastKey : *place.section;
  for (size_t i = 0; i < place.lines.size(); ++i) {
    const TextLine& line = place.lines[i];
    if (place.key && i == *place.key) {
      out.append(entry).append(line.brk.empty() ? lineBreak : line.brk);
      continue;
    }
    append(line);
    if (!place.key && i == after) {
      if (line.brk.empty()) out.append(lineBreak);
      out.append(entry).append(lineBreak);
    }
  }
  return out;
}

std::optional<std::string> CheckArguments(std::string_view section, std::string_view key, std::string_view value) {
  auto hasBreak = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
  if (section.empty() || Trim(section) != section || hasBreak(section) || section.find(']') != std::string_view::npos)
    return "section name must be non-empty, without surrounding blanks, line breaks or ']'";
  if (key.empty() || Trim(key) != key || hasBreak(key) || key.find('=') != std::string_view::npos ||
      key.front() == ';' || key.front() == '[')
    return "key must be non-empty, without surrounding blanks, line breaks or '=', and not start with ';' or '['";
  if (hasBreak(value)) return "value must not contain a line break";
  return std::nullopt;
}

}  // namespace ini

std::string ResolveProfilePath(std::string_view programDirectory, std::string_view file, char separator) {
  const bool driveAbsolute = file.size() >= 3 && file[1] == ':' && file[2] == '\\';
  if (driveAbsolute || (separator == '/' && !file.empty() && file.front() == '/')) return std::string(file);
  const std::string joined = std::string(programDirectory) + separator + std::string(file);
  std::string resolved;
  resolved.reserve(joined.size());
  for (size_t i = 0; i < joined.size(); ++i) {
    resolved.push_back(joined[i]);
    if (joined[i] == separator && i + 1 < joined.size() && joined[i + 1] == separator) ++i;
  }
  return resolved;
}

namespace {

// A file's bytes, or an empty text for a file that does not exist yet.
Result<std::string> ReadExisting(const std::string& path, bool missingIsEmpty) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    if (missingIsEmpty && bytes.error().kind == ErrorKind::NotFound) return std::string();
    return bytes.error();
  }
  if (LooksLikeUtf16(*bytes)) return Error{ErrorKind::BadEncoding, path, "UTF-16 files are not supported"};
  return bytes;
}

// Text in the file's encoding: UTF-8 for a file that starts with the UTF-8
// byte-order mark, else the ANSI code page.
std::optional<std::string> Encode(std::string_view fileBytes, std::string_view utf8) {
  if (StartsWithUtf8Bom(fileBytes)) return std::string(utf8);
  return ToAnsi(utf8);
}

std::optional<std::string> Decode(std::string_view fileBytes, std::string_view bytes) {
  if (StartsWithUtf8Bom(fileBytes)) return std::string(bytes);
  return FromAnsi(bytes);
}

}  // namespace

Result<std::optional<std::string>> ReadIniValue(const std::string& path, std::string_view section,
                                                std::string_view key) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    if (bytes.error().kind == ErrorKind::NotFound) return std::optional<std::string>();
    return bytes.error();
  }
  if (LooksLikeUtf16(*bytes)) return Error{ErrorKind::BadEncoding, path, "UTF-16 files are not supported"};
  auto encodedSection = Encode(*bytes, section);
  auto encodedKey = Encode(*bytes, key);
  if (!encodedSection || !encodedKey) return std::optional<std::string>();  // such a name cannot be in the file
  auto raw = ini::Lookup(*bytes, *encodedSection, *encodedKey);
  if (!raw) return std::optional<std::string>();
  auto value = Decode(*bytes, *raw);
  if (!value) return Error{ErrorKind::BadEncoding, path, "value is not valid in the file's code page"};
  return std::optional<std::string>(std::move(*value));
}

Result<Done> WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value) {
  if (auto problem = ini::CheckArguments(section, key, value)) return Error{ErrorKind::InvalidArgument, path, *problem};
  auto bytes = ReadExisting(path, true);
  if (!bytes) return bytes.error();
  auto encodedSection = Encode(*bytes, section);
  auto encodedKey = Encode(*bytes, key);
  auto encodedValue = Encode(*bytes, value);
  if (!encodedSection || !encodedKey || !encodedValue)
    return Error{ErrorKind::BadEncoding, path, "text cannot be written in the file's code page"};
  return WriteFileAtomically(path, ini::Assign(*bytes, *encodedSection, *encodedKey, *encodedValue));
}

std::string GetIniValue(std::string_view section, std::string_view key, std::string_view fallback,
                        std::string_view file) {
  auto value = ReadIniValue(ResolveProfilePath(ProgramDirectory(), file), section, key);
  if (!value || !*value) return std::string(fallback);
  const std::string& text = **value;
  return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

Result<Done> SetIniValue(std::string_view section, std::string_view key, std::string_view value,
                         std::string_view file) {
  return WriteIniValue(ResolveProfilePath(ProgramDirectory(), file), section, key, value);
}

}  // namespace tellurix
