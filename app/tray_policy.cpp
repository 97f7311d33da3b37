#include "app/tray_policy.h"

#include "resources/texts.h"

namespace tellurix {

namespace {

// UTF-16 units of the UTF-8 character that starts with this byte.
size_t Utf16Units(unsigned char lead) { return lead >= 0xF0 ? 2 : 1; }

}  // namespace

std::string BalloonText(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (!joined.empty()) joined += '\n';
    joined += line.substr(0, line.rfind(text::kLineEnd));
  }
  // The cut keeps whole characters, and room for the "…" (one unit).
  size_t units = 0, keep = 0;
  for (size_t i = 0; i < joined.size(); ++i) {
    const auto byte = static_cast<unsigned char>(joined[i]);
    if ((byte & 0xC0) == 0x80) continue;
    if (units < kBalloonTextUnits) keep = i;  // what comes before this character fits beside the "…"
    units += Utf16Units(byte);
    if (units > kBalloonTextUnits) return joined.substr(0, keep) + "…";
  }
  return joined;
}

}  // namespace tellurix
