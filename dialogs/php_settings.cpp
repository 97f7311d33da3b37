#include "dialogs/php_settings.h"

#include <utility>

#include "dialogs/number_field.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {
using K = ControlLayout::Kind;
namespace d = ids::fphp;

constexpr char kPhpSection[] = "PHP";

// Each value with its profile key, in the order the dialog loads and writes them;
// the key is also the entry written into php.ini.
const struct {
  std::string PhpForm::*field;
  const char* key;
} kPhpValues[] = {
    {&PhpForm::short_, "short_open_tag"},
    {&PhpForm::buffer, "output_buffering"},
    {&PhpForm::safe, "safe_mode"},
    {&PhpForm::display, "display_errors"},
    {&PhpForm::register_, "register_globals"},
    {&PhpForm::max_time, "max_execution_time"},
    {&PhpForm::upload_file, "upload_max_filesize"},
};
}  // namespace

const std::vector<ControlLayout>& PhpDialogControls() {
  using namespace text;
  static const std::vector<ControlLayout> controls = {
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
  };
  return controls;
}

PhpForm LoadPhpForm(const std::function<std::string(std::string_view key)>& get) {
  PhpForm form;
  for (const auto& value : kPhpValues) form.*value.field = get(value.key);
  return form;
}

const std::vector<std::string_view>& SwitchItems() {
  static const std::vector<std::string_view> items = {text::kOn, text::kOff};
  return items;
}

int SwitchIndex(std::string_view loaded) { return loaded == text::kOn ? 0 : 1; }

std::optional<std::string_view> CheckPhpForm(const PhpForm& form) {
  switch (CheckNumberField(form.max_time)) {
    case NumberVerdict::NotANumber: return text::kMaxTimeNotNumber;
    case NumberVerdict::NotAPositiveWholeNumber: return text::kMaxTimeNotPositive;
    case NumberVerdict::Accepted: break;
  }
  switch (CheckNumberField(form.upload_file)) {
    case NumberVerdict::NotANumber: return text::kUploadNotNumber;
    case NumberVerdict::NotAPositiveWholeNumber: return text::kUploadNotPositive;
    case NumberVerdict::Accepted: break;
  }
  return std::nullopt;
}

std::vector<FieldChange> PhpChanges(const PhpForm& loaded, const PhpForm& current, const std::string& phpIni) {
  std::vector<FieldChange> changes;
  for (const auto& value : kPhpValues) {
    const std::string& text = current.*value.field;
    if (text == loaded.*value.field) continue;
    FieldChange change{value.key, text, {}};
    if (value.field == &PhpForm::upload_file) {
      // The profile keeps the bare number; php.ini takes megabytes, and the
      // largest request body follows the largest upload.
      change.writes = {{StackWrite::Kind::IniEntry, phpIni, kPhpSection, "upload_max_filesize", text + "M"},
                       {StackWrite::Kind::IniEntry, phpIni, kPhpSection, "post_max_size", text + "M"}};
    } else {
      change.writes = {{StackWrite::Kind::IniEntry, phpIni, kPhpSection, value.key, text}};
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

std::string PhpIniPath(std::string_view programDirectory) { return StackPath(programDirectory, "\\PHP5\\php.ini"); }

}  // namespace tellurix
