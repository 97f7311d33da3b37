// What the About dialog draws, decided without the platform: the emblem
// resource read as pixels and blended onto the dialog's colour, and the colour
// of the link "支持Tellurix". Colours are Windows COLORREF values (0x00BBGGRR).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/layout.h"

namespace tellurix {

inline constexpr int kAboutClientWidth = 312;
inline constexpr int kAboutClientHeight = 192;
// The labels and the button, made from the table with the dialog's font.
const std::vector<ControlLayout>& AboutDialogControls();
// The picture and the link need static styles of their own; they are made when
// the dialog opens.
inline constexpr Rect kImage1Place = {8, 24, 60, 60};
inline constexpr Rect kLabel1Place = {32, 144, 129, 25};

// The largest size, in tenths of a point from `largest` down to `smallest` in
// half points, at which `fits` holds; `smallest` when none does.
int LargestFittingSize(int largest, int smallest, const std::function<bool(int tenthsOfPoint)>& fits);

// Straight-alpha BGRA pixels, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgra;
};

// A packed 32-bit bitmap (header, optional colour masks, pixels) as a picture;
// empty when it is not a 32-bit bitmap with the standard channel order, or is
// larger than 1024 pixels a side, or is cut short.
Picture ParseEmblem(std::string_view dib);

// The picture's pixels blended onto `background`, alpha byte 0, so that the
// picture control shows them as they are on every system.
std::vector<std::uint8_t> BlendOnto(const Picture& picture, std::uint32_t background);

// The system's link colour where it has one that stands out from the dialog's
// background; otherwise (systems without one, themes that use it as a pale hover
// shade in which the text would all but vanish) the selection colour.
std::uint32_t LinkColour(std::optional<std::uint32_t> hotlight, std::uint32_t face, std::uint32_t highlight);

}  // namespace tellurix
