#include "core/process_probe.h"

namespace tellurix {

bool ImageNameIs(const wchar_t* field, std::size_t fieldLength, std::string_view wanted) {
  std::size_t length = 0;
  while (length < fieldLength && field[length] != L'\0') ++length;
  if (length != wanted.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    // The names looked for are ASCII; a wide character outside it never matches.
    if (field[i] != static_cast<wchar_t>(static_cast<unsigned char>(wanted[i]))) return false;
  }
  return true;
}

}  // namespace tellurix
