// The Apache settings dialog `fapache`: five values of section "Apache", written
// as directive lines of httpd.conf.
#include "dialogs/settings_form.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

const SettingsForm& ApacheSettingsForm() {
  using K = ControlLayout::Kind;
  using namespace text;
  namespace d = ids::fapache;
  constexpr std::string_view kHttpdConf = "\\Apache2\\conf\\httpd.conf";
  static const SettingsForm form{
      kApacheCaption, "Apache", 352, 228,
      {
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
      },
      {
          {d::listen, "Listen", {{kHttpdConf, "", "Listen"}}},
          {d::admin, "ServerAdmin", {{kHttpdConf, "", "ServerAdmin"}}},
          {d::sname, "ServerName", {{kHttpdConf, "", "ServerName"}}},
          // The directory goes into httpd.conf in quotes, backslashes as typed.
          {d::root, "DocumentRoot", {{kHttpdConf, "", "DocumentRoot", "\"", "\""}}},
          {d::index, "DirectoryIndex", {{kHttpdConf, "", "DirectoryIndex"}}},
      },
      {
          {SettingsCheck::Kind::Folder, d::root, kRootMissing},
          {SettingsCheck::Kind::Number, d::listen, kApachePortNotNumber, kApachePortNotPositive},
      },
      d::Command1, d::Command2, kApacheDone,
  };
  return form;
}

}  // namespace tellurix
