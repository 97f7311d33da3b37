#include "about/about_look.h"

#include <cstdlib>
#include <cstring>

#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

constexpr std::uint32_t kPlainRgb = 0, kBitFields = 3;
constexpr size_t kHeaderSize = 40;

std::uint32_t U32(std::string_view bytes, size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

// Perceived brightness of a colour, 0 to 255.
int Brightness(std::uint32_t colour) {
  return static_cast<int>(((colour & 0xFF) * 299 + (colour >> 8 & 0xFF) * 587 + (colour >> 16 & 0xFF) * 114) / 1000);
}

}  // namespace

const std::vector<ControlLayout>& AboutDialogControls() {
  using Kind = ControlLayout::Kind;
  namespace d = ids::fabout;
  static const std::vector<ControlLayout> table = {
      {d::Label2, Kind::Label, text::kAboutDescription, 0, {80, 32, 225, 41}},
      {d::Label3, Kind::Label, text::kAboutCopyright, 0, {40, 104, 241, 25}},
      {d::Command1, Kind::Button, text::kOk, 0, {216, 144, 73, 33}},
  };
  return table;
}

int LargestFittingSize(int largest, int smallest, const std::function<bool(int tenthsOfPoint)>& fits) {
  for (int size = largest; size > smallest; size -= 5) {
    if (fits(size)) return size;
  }
  return smallest;
}

Picture ParseEmblem(std::string_view dib) {
  if (dib.size() < kHeaderSize) return {};
  const std::uint32_t headerSize = U32(dib, 0);
  const auto width = static_cast<std::int32_t>(U32(dib, 4));
  const auto signedHeight = static_cast<std::int32_t>(U32(dib, 8));
  const std::uint32_t planes = U32(dib, 12) & 0xFFFF, bits = U32(dib, 12) >> 16;
  const std::uint32_t compression = U32(dib, 16);
  const long height = std::labs(signedHeight);
  if (headerSize < kHeaderSize || planes != 1 || bits != 32 || width <= 0 || width > 1024 || height == 0 ||
      height > 1024) {
    return {};
  }
  size_t offset = headerSize;
  if (compression == kBitFields) {
    // The colour masks are part of a newer header, or follow a plain one.
    if (headerSize == kHeaderSize) offset += 12;
    if (dib.size() < kHeaderSize + 12) return {};
    if (U32(dib, 40) != 0x00FF0000 || U32(dib, 44) != 0x0000FF00 || U32(dib, 48) != 0x000000FF) return {};
  } else if (compression != kPlainRgb) {
    return {};
  }
  const size_t stride = static_cast<size_t>(width) * 4;
  if (dib.size() < offset + stride * static_cast<size_t>(height)) return {};
  Picture picture{width, static_cast<int>(height), std::vector<std::uint8_t>(stride * static_cast<size_t>(height))};
  for (long y = 0; y < height; ++y) {
    const long source = signedHeight < 0 ? y : height - 1 - y;  // positive heights run bottom-up
    std::memcpy(&picture.bgra[stride * static_cast<size_t>(y)],
                dib.data() + offset + stride * static_cast<size_t>(source), stride);
  }
  return picture;
}

std::vector<std::uint8_t> BlendOnto(const Picture& picture, std::uint32_t background) {
  std::vector<std::uint8_t> blended(picture.bgra.size());
  const int backdrop[3] = {static_cast<int>(background >> 16 & 0xFF), static_cast<int>(background >> 8 & 0xFF),
                           static_cast<int>(background & 0xFF)};
  for (size_t i = 0; i + 3 < picture.bgra.size(); i += 4) {
    const int alpha = picture.bgra[i + 3];
    for (size_t c = 0; c < 3; ++c) {
      blended[i + c] =
          static_cast<std::uint8_t>((picture.bgra[i + c] * alpha + backdrop[c] * (255 - alpha) + 127) / 255);
    }
  }
  return blended;
}

std::uint32_t LinkColour(std::optional<std::uint32_t> hotlight, std::uint32_t face, std::uint32_t highlight) {
  constexpr int kLeastContrast = 64;
  if (hotlight && std::abs(Brightness(*hotlight) - Brightness(face)) >= kLeastContrast) return *hotlight;
  return highlight;
}

}  // namespace tellurix
