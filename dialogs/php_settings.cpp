// The PHP settings dialog `fphp`: seven values of section "PHP", written as
// entries of section "PHP" of php.ini.
#include "dialogs/settings_form.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

const SettingsForm& PhpSettingsForm() {
  using K = ControlLayout::Kind;
  using namespace text;
  namespace d = ids::fphp;
  constexpr std::string_view kPhpIni = "\\PHP5\\php.ini";
  // "On" only for exactly "On"; anything else, the empty text included, shows "Off".
  const std::vector<std::string_view> kSwitch = {kOn, kOff};
  auto onOff = [&](int control, std::string_view key) {
    return SettingsField{control, key, {{kPhpIni, "PHP", key}}, kSwitch, 1};
  };
  static const SettingsForm form{
      kPhpCaption, "PHP", 392, 243,
      {
          {d::Frame1, K::Frame, kPhpCaption, 0, {24, 16, 345, 185}},
          {d::Label1, K::Label, kPhpRegister, d::Frame1, {8, 24, 65, 17}},
          {d::register_, K::DropList, "", d::Frame1, {72, 24, 57, 20}},
          {d::Label2, K::Label, kPhpDisplay, d::Frame1, {176, 24, 65, 17}},
          {d::display, K::DropList, "", d::Frame1, {256, 24, 57, 20}},
          {d::Label3, K::Label, kPhpSafe, d::Frame1, {8, 64, 65, 17}},
          {d::safe, K::DropList, "", d::Frame1, {72, 64, 57, 20}},
          {d::Label4, K::Label, kPhpBuffer, d::Frame1, {176, 64, 65, 17}},
          {d::buffer, K::DropList, "", d::Frame1, {256, 64, 57, 20}},
          {d::Label9, K::Label, kPhpShort, d::Frame1, {8, 96, 49, 25}},
          {d::short_, K::DropList, "", d::Frame1, {72, 104, 57, 20}},
          {d::Label5, K::Label, kPhpMaxTime, d::Frame1, {8, 136, 65, 25}},
          {d::max_time, K::Edit, "", d::Frame1, {72, 144, 57, 18}},
          {d::Label8, K::Label, kPhpSeconds, d::Frame1, {136, 144, 25, 17}},
          {d::Label6, K::Label, kPhpUpload, d::Frame1, {176, 136, 65, 25}},
          {d::upload_file, K::Edit, "", d::Frame1, {256, 144, 57, 18}},
          {d::Label7, K::Label, kPhpMegabytes, d::Frame1, {320, 144, 17, 17}},
          {d::Command1, K::Button, kOk, 0, {216, 208, 65, 25}},
          {d::Command2, K::Button, kCancel, 0, {296, 208, 65, 25}},
      },
      {
          onOff(d::short_, "short_open_tag"),
          onOff(d::buffer, "output_buffering"),
          onOff(d::safe, "safe_mode"),
          onOff(d::display, "display_errors"),
          onOff(d::register_, "register_globals"),
          {d::max_time, "max_execution_time", {{kPhpIni, "PHP", "max_execution_time"}}},
          // The profile keeps the bare number; php.ini takes megabytes, and the
          // largest request body follows the largest upload.
          {d::upload_file,
           "upload_max_filesize",
           {{kPhpIni, "PHP", "upload_max_filesize", "", "M"}, {kPhpIni, "PHP", "post_max_size", "", "M"}}},
      },
      {
          {SettingsCheck::Kind::Number, d::max_time, kMaxTimeNotNumber, kMaxTimeNotPositive},
          {SettingsCheck::Kind::Number, d::upload_file, kUploadNotNumber, kUploadNotPositive},
      },
      d::Command1, d::Command2, kPhpDone,
  };
  return form;
}

}  // namespace tellurix
