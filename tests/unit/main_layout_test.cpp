#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "resources/ids.h"

namespace {

using tellurix::ControlLayout;
using tellurix::MainWindowControls;
using K = ControlLayout::Kind;

std::string Describe(const tellurix::Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height);
}

// Every control, in creation order, with its kind, caption, container, place in its
// container and resolved place in the 337 x 285 client area. Frames come first, so
// that the controls inside them lie above them.
TEST(MainWindowLayout, ControlTableAndClientRectangles) {
  struct Row {
    int id;
    K kind;
    const char* caption;
    int container;
    const char* place;
    const char* client;
  };
  const Row rows[] = {
      {ids::Frame1, K::Frame, "运行状态", 0, "16,8,129,73", "16,8,129,73"},
      {ids::Apache, K::Frame, "Apache", 0, "152,8,161,65", "152,8,161,65"},
      {ids::Frame3, K::Frame, "MySQL", 0, "240,80,73,113", "240,80,73,113"},
      {ids::Frame2, K::Frame, "提示信息", 0, "8,96,217,177", "8,96,217,177"},
      {ids::Label1, K::Label, "Apache：", ids::Frame1, "16,24,49,17", "32,32,49,17"},
      {ids::la, K::StatusMark, "", ids::Frame1, "72,24,41,17", "88,32,41,17"},
      {ids::Label2, K::Label, "MySQL：", ids::Frame1, "16,48,49,17", "32,56,49,17"},
      {ids::lm, K::StatusMark, "", ids::Frame1, "72,48,41,17", "88,56,41,17"},
      {ids::starta, K::Button, "启动", ids::Apache, "8,24,41,25", "160,32,41,25"},
      {ids::stopa, K::Button, "停止", ids::Apache, "60,24,41,25", "212,32,41,25"},
      {ids::restaraCom, K::Button, "重启", ids::Apache, "112,24,41,25", "264,32,41,25"},
      {ids::startm, K::Button, "启动", ids::Frame3, "16,16,41,25", "256,96,41,25"},
      {ids::stopm, K::Button, "停止", ids::Frame3, "16,48,41,25", "256,128,41,25"},
      {ids::restartmCom, K::Button, "重启", ids::Frame3, "16,80,41,25", "256,160,41,25"},
      {ids::List1, K::List, "", ids::Frame2, "8,16,201,148", "16,112,201,148"},
      {ids::zhanCom, K::Button, "站点管理", 0, "240,208,65,25", "240,208,65,25"},
      {ids::Command1, K::Button, "更多设置", 0, "240,248,65,25", "240,248,65,25"},
  };
  EXPECT_EQ(tellurix::kMainClientWidth, 337);
  EXPECT_EQ(tellurix::kMainClientHeight, 285);
  const auto& controls = MainWindowControls();
  ASSERT_EQ(controls.size(), std::size(rows));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlLayout& c = controls[i];
    const Row& row = rows[i];
    EXPECT_EQ(c.id, row.id) << "at position " << i;
    EXPECT_EQ(c.kind, row.kind) << row.id;
    EXPECT_EQ(c.caption, row.caption) << row.id;
    EXPECT_EQ(c.container, row.container) << row.id;
    EXPECT_EQ(Describe(c.place), row.place) << row.id;
    EXPECT_EQ(Describe(tellurix::ClientRect(c)), row.client) << row.id;
  }
}

TEST(DpiScaling, CommonSettings) {
  struct Case {
    int pixels, dpi, scaled;
  } cases[] = {
      // 100 %: unchanged.
      {41, 96, 41}, {337, 96, 337}, {0, 96, 0},
      // 125 %: 41 x 1.25 = 51.25 rounds down, 285 x 1.25 = 356.25, 2 x 1.25 = 2.5 rounds up.
      {41, 120, 51}, {285, 120, 356}, {2, 120, 3}, {16, 120, 20},
      // 150 %: 17 x 1.5 = 25.5 rounds up to the nearest pixel.
      {17, 144, 26}, {337, 144, 506}, {40, 144, 60},
      // 200 %: exact doubling.
      {41, 192, 82}, {337, 192, 674}, {285, 192, 570},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tellurix::ScaleForDpi(c.pixels, c.dpi), c.scaled) << c.pixels << " at " << c.dpi;
  }
}

}  // namespace
