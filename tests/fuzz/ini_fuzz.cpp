// Fuzz target for the INI rules on bytes (ini::Lookup, ini::Assign,
// ini::CheckArguments).
//
// Input: three selector bytes for the section, the key and the value, then the
// file's bytes. A selector picks a name from a small table of ordinary,
// misleading and broken names, or a name taken from a line of the file itself,
// so that the names often exist in the file.
//
// Invariants, each a trap when broken:
//   - nothing crashes (the sanitizers watch the memory);
//   - when CheckArguments accepts the names, Assign keeps the byte-order mark,
//     keeps every other line byte for byte and in order (a last line without a
//     break may gain one), replaces one line by key=value or adds it (with the
//     section header when the section was missing), and a second identical
//     Assign changes nothing;
//   - Lookup then reads back the written value, unless the value has blanks
//     around it or one pair of quotes, which reading removes;
//   - Lookup gives the same answer with or without a byte-order mark.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/profile_store.h"

namespace {

namespace ini = tellurix::ini;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

#define CHECK(condition)                 \
  do {                                   \
    if (!(condition)) __builtin_trap();  \
  } while (0)

struct Line {
  std::string_view text;
  std::string_view brk;
};

// Lines with their breaks (CR LF, LF, lone CR, or none at the end).
std::vector<Line> Split(std::string_view bytes) {
  std::vector<Line> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t end = i;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    size_t next = end;
    if (next < bytes.size()) {
      next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
    }
    lines.push_back({bytes.substr(i, end - i), bytes.substr(end, next - end)});
    i = next;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

const std::string_view kSections[] = {
    "PHP", "php", "mysqld", "client", "Apache", "s", "S", "a b", "[x", ";x", "#x", "x=y",
    "", " s", "s]", "s\r\n", "\xB0\x41", "\xB0\x61", "\xEF\xBB\xBF", "\xEF\xBB\xBFs", "Date", "\v",
};
const std::string_view kKeys[] = {
    "short_open_tag", "SHORT_OPEN_TAG", "port", "Listen", "k", "K", "#k", "k k", "k;", "=",
    "", " k", ";k", "[k", "k]", "k\n", "\xB0\x41", "\xFF", "\"k\"", "[s]", "default-character-set",
};
const std::string_view kValues[] = {
    "On", "", "8080", "a b", " a", "a\t", "\"a\"", "'a'", "\"", "a;b", "a=b", "#", "\xB0\x41", "\xFF\xFE",
    "\"a'", "[s]", ";c", "x\r\ny", "\v",
};

// A piece of the `index`-th line of the file: the text inside the brackets of a
// header, or else before (`beforeEquals`) or after the first "=".
std::string FromFile(std::string_view file, size_t index, bool beforeEquals) {
  const std::vector<Line> lines = Split(file);
  if (lines.empty()) return "x";
  std::string_view text = lines[index % lines.size()].text;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    return std::string(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::string(text);
  return std::string(beforeEquals ? text.substr(0, equals) : text.substr(equals + 1));
}

template <size_t N>
std::string Pick(uint8_t selector, const std::string_view (&table)[N], std::string_view file, bool beforeEquals) {
  if (selector < N) return std::string(table[selector]);
  std::string piece = FromFile(file, selector - N, beforeEquals);
  // Names from the file, mostly without their blanks so that the arguments pass.
  if (selector & 1) {
    while (!piece.empty() && IsBlank(piece.front())) piece.erase(0, 1);
    while (!piece.empty() && IsBlank(piece.back())) piece.pop_back();
  }
  return piece;
}

// Every line of `before` appears unchanged and in order in `after`; the lines of
// `after` that are not matched are exactly `extras`, in this order, each with
// the break `brk`. The last line of `before` may gain the break `brk`.
void CheckKeptAndAdded(const std::vector<Line>& before, const std::vector<Line>& after,
                       const std::vector<std::string>& extras, std::string_view brk) {
  CHECK(after.size() == before.size() + extras.size());
  size_t i = 0, j = 0, e = 0;
  while (j < after.size()) {
    if (i < before.size() && after[j].text == before[i].text &&
        (after[j].brk == before[i].brk ||
         (i + 1 == before.size() && before[i].brk.empty() && after[j].brk == brk))) {
      ++i;
      ++j;
      continue;
    }
    CHECK(e < extras.size());
    CHECK(after[j].text == extras[e]);
    CHECK(after[j].brk == brk);
    ++e;
    ++j;
  }
  CHECK(i == before.size());
  CHECK(e == extras.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string section = Pick(data[0], kSections, file, true);
  const std::string key = Pick(data[1], kKeys, file, true);
  const std::string value = Pick(data[2], kValues, file, false);

  // Reading never crashes, and a byte-order mark changes nothing.
  const std::optional<std::string> found = ini::Lookup(file, section, key);
  if (file.compare(0, kBom.size(), kBom) != 0) {
    CHECK(ini::Lookup(std::string(kBom) + file, section, key) == found);
  }

  if (ini::CheckArguments(section, key, value)) return 0;  // refused: nothing is written
  const std::string out = ini::Assign(file, section, key, value);
  const std::string entry = key + "=" + value;

  // The byte-order mark stays.
  const bool bom = file.compare(0, kBom.size(), kBom) == 0;
  CHECK((out.compare(0, kBom.size(), kBom) == 0) == bom);
  const std::string_view before = std::string_view(file).substr(bom ? kBom.size() : 0);
  const std::string_view after = std::string_view(out).substr(bom ? kBom.size() : 0);

  // New lines end in LF in a file that uses LF throughout, else in CR LF.
  const bool lfOnly = before.find('\n') != std::string_view::npos && before.find('\r') == std::string_view::npos;
  const std::string_view brk = lfOnly ? "\n" : "\r\n";

  const std::vector<Line> in = Split(before);
  const std::vector<Line> lines = Split(after);
  if (found) {
    // The key's line is replaced in place and keeps its own break.
    CHECK(lines.size() == in.size());
    size_t changed = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      if (lines[i].text == in[i].text && lines[i].brk == in[i].brk) continue;
      ++changed;
      CHECK(lines[i].text == entry);
      CHECK(lines[i].brk == in[i].brk);
    }
    CHECK(changed <= 1);
  } else if (lines.size() == in.size() + 1) {
    CheckKeptAndAdded(in, lines, {entry}, brk);
  } else {
    // A missing section goes at the end, after a line break if the file lacks one.
    CheckKeptAndAdded(in, lines, {"[" + section + "]", entry}, brk);
    const bool ended = before.empty() || before.back() == '\n' || before.back() == '\r';
    CHECK(out == file + std::string(ended ? "" : brk) + "[" + section + "]" + std::string(brk) + entry +
                     std::string(brk));
  }

  // The value reads back, unless reading removes blanks or quotes around it.
  const bool blanksAround = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  if (!blanksAround && !quoted) CHECK(ini::Lookup(out, section, key) == std::optional<std::string>(value));

  // Writing the same again changes nothing.
  CHECK(ini::Assign(out, section, key, value) == out);
  return 0;
}
