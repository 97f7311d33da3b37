#include "ui/layout.h"

namespace tellurix {

Rect ClientRect(const ControlLayout& control, const std::vector<ControlLayout>& table) {
  Rect rect = control.place;
  for (const ControlLayout& other : table) {
    if (other.id == control.container) {
      Rect outer = ClientRect(other, table);
      rect.left += outer.left;
      rect.top += outer.top;
      break;
    }
  }
  return rect;
}

int ScaleForDpi(int pixels, int dpi) { return (pixels * dpi + 48) / 96; }

}  // namespace tellurix
