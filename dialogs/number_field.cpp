#include "dialogs/number_field.h"

namespace tellurix {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

bool ReadsAsNumber(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  while (i < n && IsBlank(text[i])) ++i;
  return i == n;
}

bool IsPositiveWholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 15 || text[0] == '0') return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

NumberVerdict CheckNumberField(std::string_view text) {
  if (!ReadsAsNumber(text)) return NumberVerdict::NotANumber;
  if (!IsPositiveWholeNumber(text)) return NumberVerdict::NotAPositiveWholeNumber;
  return NumberVerdict::Accepted;
}

}  // namespace tellurix
