#include "dialogs/apache_settings.h"

#include "dialogs/number_field.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {
using K = ControlLayout::Kind;
namespace d = ids::fapache;
}  // namespace

const std::vector<ControlLayout>& ApacheDialogControls() {
  using namespace text;
  static const std::vector<ControlLayout> controls = {
      {d::Frame1, K::Frame, kApacheCaption, 0, {16, 16, 321, 177}},
      {d::Label1, K::Label, kApachePort, d::Frame1, {40, 24, 49, 17}},
      {d::listen, K::Edit, "", d::Frame1, {96, 24, 57, 18}},
      {d::Label2, K::Label, kApacheRoot, d::Frame1, {16, 48, 73, 25}},
      {d::root, K::Edit, "", d::Frame1, {96, 48, 129, 18}},
      {d::Command3, K::Button, kBrowse, d::Frame1, {240, 48, 41, 17}},
      {d::Label3, K::Label, kApacheName, d::Frame1, {16, 80, 73, 25}},
      {d::sname, K::Edit, "", d::Frame1, {96, 80, 185, 18}},
      {d::Label4, K::Label, kApacheAdmin, d::Frame1, {16, 112, 65, 17}},
      {d::admin, K::Edit, "", d::Frame1, {96, 112, 185, 18}},
      {d::Label5, K::Label, kApacheIndex, d::Frame1, {16, 144, 65, 17}},
      {d::index, K::Edit, "", d::Frame1, {96, 144, 185, 18}},
      {d::Command2, K::Button, kCancel, 0, {184, 200, 57, 25}},
      {d::Command1, K::Button, kOk, 0, {264, 200, 57, 25}},
  };
  return controls;
}

ApacheForm LoadApacheForm(const std::function<std::string(std::string_view key)>& get) {
  ApacheForm form;
  form.admin = get("ServerAdmin");
  form.listen = get("Listen");
  form.sname = get("ServerName");
  form.root = get("DocumentRoot");
  form.index = get("DirectoryIndex");
  return form;
}

std::optional<std::string_view> CheckApacheForm(const ApacheForm& form, bool rootExists) {
  if (!rootExists) return text::kRootMissing;
  switch (CheckNumberField(form.listen)) {
    case NumberVerdict::NotANumber: return text::kApachePortNotNumber;
    case NumberVerdict::NotAPositiveWholeNumber: return text::kApachePortNotPositive;
    case NumberVerdict::Accepted: break;
  }
  return std::nullopt;
}

std::vector<FieldChange> ApacheChanges(const ApacheForm& loaded, const ApacheForm& current,
                                       const std::string& httpdConf) {
  const struct {
    const std::string ApacheForm::*field;
    const char* directive;
    bool quoted;
  } order[] = {
      {&ApacheForm::listen, "Listen", false},         {&ApacheForm::admin, "ServerAdmin", false},
      {&ApacheForm::sname, "ServerName", false},      {&ApacheForm::root, "DocumentRoot", true},
      {&ApacheForm::index, "DirectoryIndex", false},
  };
  std::vector<FieldChange> changes;
  for (const auto& row : order) {
    const std::string& text = current.*row.field;
    if (text == loaded.*row.field) continue;
    // The directory goes into httpd.conf in quotes, backslashes as typed.
    const std::string value = row.quoted ? "\"" + text + "\"" : text;
    changes.push_back({row.directive, text, {{StackWrite::Kind::Directive, httpdConf, "", row.directive, value}}});
  }
  return changes;
}

std::string HttpdConfPath(std::string_view programDirectory) {
  return StackPath(programDirectory, "\\Apache2\\conf\\httpd.conf");
}

}  // namespace tellurix
