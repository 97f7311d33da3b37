#include "app/main_layout.h"

#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {
using K = ControlLayout::Kind;
}

const std::vector<ControlLayout>& MainWindowControls() {
  using namespace text;
  static const std::vector<ControlLayout> controls = {
      {ids::Frame1, K::Frame, kFrame1, 0, {16, 8, 129, 73}},
      {ids::Apache, K::Frame, kFrameApache, 0, {152, 8, 161, 65}},
      {ids::Frame3, K::Frame, kFrame3, 0, {240, 80, 73, 113}},
      {ids::Frame2, K::Frame, kFrame2, 0, {8, 96, 217, 177}},
      {ids::Label1, K::Label, kLabel1, ids::Frame1, {16, 24, 49, 17}},
      {ids::la, K::StatusMark, "", ids::Frame1, {72, 24, 41, 17}},
      {ids::Label2, K::Label, kLabel2, ids::Frame1, {16, 48, 49, 17}},
      {ids::lm, K::StatusMark, "", ids::Frame1, {72, 48, 41, 17}},
      {ids::starta, K::Button, kStart, ids::Apache, {8, 24, 41, 25}},
      {ids::stopa, K::Button, kStop, ids::Apache, {60, 24, 41, 25}},
      {ids::restaraCom, K::Button, kRestart, ids::Apache, {112, 24, 41, 25}},
      {ids::startm, K::Button, kStart, ids::Frame3, {16, 16, 41, 25}},
      {ids::stopm, K::Button, kStop, ids::Frame3, {16, 48, 41, 25}},
      {ids::restartmCom, K::Button, kRestart, ids::Frame3, {16, 80, 41, 25}},
      {ids::List1, K::List, "", ids::Frame2, {8, 16, 201, 148}},
      {ids::zhanCom, K::Button, kSiteManager, 0, {240, 208, 65, 25}},
      {ids::Command1, K::Button, kMoreSettings, 0, {240, 248, 65, 25}},
  };
  return controls;
}

}  // namespace tellurix
