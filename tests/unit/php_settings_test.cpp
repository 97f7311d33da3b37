#include "dialogs/php_settings.h"

#include <gtest/gtest.h>

#include "tests/unit/test_files.h"
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/profile_store.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace {

using testfiles::Slurp;
using testfiles::Put;

namespace fs = std::filesystem;
namespace d = ids::fphp;
using tellurix::FieldChange;
using tellurix::PhpForm;
using tellurix::StackWrite;

// ---------------------------------------------------------------------------
// Controls

TEST(PhpDialogControls, StandInTheFrameInTwoColumnsWithTheButtonsBelow) {
  const auto& table = tellurix::PhpDialogControls();
  std::set<int> ids;
  for (const auto& control : table) EXPECT_TRUE(ids.insert(control.id).second) << "id " << control.id << " twice";
  EXPECT_EQ(table.size(), 19u);
  EXPECT_EQ(table.front().id, d::Frame1) << "the frame comes first, below the controls in it";

  const tellurix::Rect frame = table.front().place;
  for (const auto& control : table) {
    const tellurix::Rect r = tellurix::ClientRect(control, table);
    EXPECT_LE(r.left + r.width, tellurix::kPhpClientWidth) << control.id;
    EXPECT_LE(r.top + r.height, tellurix::kPhpClientHeight) << control.id;
    if (control.container != d::Frame1) continue;
    EXPECT_LE(control.place.left + control.place.width, frame.width) << control.id << " sticks out of the frame";
    EXPECT_LE(control.place.top + control.place.height, frame.height) << control.id << " sticks out of the frame";
  }
}

TEST(PhpDialogControls, HaveTheirKindsCaptionsAndPlaces) {
  using K = tellurix::ControlLayout::Kind;
  struct Row {
    int id;
    K kind;
    std::string caption;
    tellurix::Rect client;  // in the window's client area
  };
  // Frame at (24, 16): controls inside it are offset by that much.
  const Row rows[] = {
      {d::Frame1, K::Frame, "PHP设置", {24, 16, 345, 185}},
      {d::Label1, K::Label, "全局变量：", {32, 40, 65, 17}},
      {d::register_, K::DropList, "", {96, 40, 57, 20}},
      {d::Label2, K::Label, "错误显示：", {200, 40, 65, 17}},
      {d::display, K::DropList, "", {280, 40, 57, 20}},
      {d::Label3, K::Label, "安全模式：", {32, 80, 65, 17}},
      {d::safe, K::DropList, "", {96, 80, 57, 20}},
      {d::Label4, K::Label, "输出缓存：", {200, 80, 65, 17}},
      {d::buffer, K::DropList, "", {280, 80, 57, 20}},
      {d::Label9, K::Label, "开始标志缩写：", {32, 112, 49, 25}},
      {d::short_, K::DropList, "", {96, 120, 57, 20}},
      {d::Label5, K::Label, "脚本运行最长时间：", {32, 152, 65, 25}},
      {d::max_time, K::Edit, "", {96, 160, 57, 18}},
      {d::Label8, K::Label, "秒", {160, 160, 25, 17}},
      {d::Label6, K::Label, "上传文件的最大限制：", {200, 152, 65, 25}},
      {d::upload_file, K::Edit, "", {280, 160, 57, 18}},
      {d::Label7, K::Label, "M", {344, 160, 17, 17}},
      {d::Command1, K::Button, "确定", {216, 208, 65, 25}},
      {d::Command2, K::Button, "取消", {296, 208, 65, 25}},
  };
  const auto& table = tellurix::PhpDialogControls();
  for (const Row& row : rows) {
    auto found = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.id == row.id; });
    ASSERT_NE(found, table.end()) << row.id;
    EXPECT_EQ(found->kind, row.kind) << row.id;
    EXPECT_EQ(found->caption, row.caption) << row.id;
    const tellurix::Rect r = tellurix::ClientRect(*found, table);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.width, r.height}),
              std::vector<int>({row.client.left, row.client.top, row.client.width, row.client.height}))
        << row.caption << " (" << row.id << ")";
  }
  EXPECT_EQ(tellurix::kPhpClientWidth, 392);
  EXPECT_EQ(tellurix::kPhpClientHeight, 243);
}

// ---------------------------------------------------------------------------
// Loading

TEST(LoadPhpForm, ReadsTheSevenKeysInOrderIntoTheirFields) {
  std::vector<std::string> asked;
  const PhpForm form = tellurix::LoadPhpForm([&](std::string_view key) {
    asked.emplace_back(key);
    return "v:" + std::string(key);
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"short_open_tag", "output_buffering", "safe_mode", "display_errors",
                                             "register_globals", "max_execution_time", "upload_max_filesize"}));
  EXPECT_EQ(form.short_, "v:short_open_tag");
  EXPECT_EQ(form.buffer, "v:output_buffering");
  EXPECT_EQ(form.safe, "v:safe_mode");
  EXPECT_EQ(form.display, "v:display_errors");
  EXPECT_EQ(form.register_, "v:register_globals");
  EXPECT_EQ(form.max_time, "v:max_execution_time");
  EXPECT_EQ(form.upload_file, "v:upload_max_filesize");
}

TEST(SwitchIndex, OnlyExactlyOnSelectsOn) {
  ASSERT_EQ(tellurix::SwitchItems(), (std::vector<std::string_view>{"On", "Off"}));
  EXPECT_EQ(tellurix::SwitchIndex("On"), 0);
  // Letter case, blanks and PHP's other spellings of "true" all show "Off".
  for (const char* loaded : {"Off", "on", "ON", "oN", "", " On", "On ", "1", "True", "Yes", "On;"}) {
    EXPECT_EQ(tellurix::SwitchIndex(loaded), 1) << "'" << loaded << "'";
  }
}

// ---------------------------------------------------------------------------
// Checks

PhpForm Numbers(const std::string& maxTime, const std::string& upload) {
  PhpForm form;
  form.max_time = maxTime;
  form.upload_file = upload;
  return form;
}

std::string Check(const PhpForm& form) {
  auto problem = tellurix::CheckPhpForm(form);
  return problem ? std::string(*problem) : "(accepted)";
}

TEST(CheckPhpForm, EachFieldGivesItsOwnMessageForEachKindOfMistake) {
  struct Row {
    std::string text, maxTimeMessage, uploadMessage;
  };
  const std::string notNumberT = "最长时间请填数字！", notPositiveT = "最长时间请填正整数！";
  const std::string notNumberU = "上传文件的大小请填数字！", notPositiveU = "上传文件的大小请填正整数！";
  const Row rows[] = {
      {"abc", notNumberT, notNumberU},
      {"", notNumberT, notNumberU},
      {"0", notPositiveT, notPositiveU},
      {"-1", notPositiveT, notPositiveU},
      {"030", notPositiveT, notPositiveU},
      {"2.5", notPositiveT, notPositiveU},
      {"1e3", notPositiveT, notPositiveU},
      {" 30", notPositiveT, notPositiveU},
      {"+30", notPositiveT, notPositiveU},
      {"1234567890123456", notPositiveT, notPositiveU},  // sixteen digits
      {"123456789012345", "(accepted)", "(accepted)"},   // fifteen
      {"30", "(accepted)", "(accepted)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Check(Numbers(row.text, "8")), row.maxTimeMessage) << "max_time '" << row.text << "'";
    EXPECT_EQ(Check(Numbers("30", row.text)), row.uploadMessage) << "upload_file '" << row.text << "'";
  }
}

TEST(CheckPhpForm, TheRunTimeIsCheckedBeforeTheUploadSize) {
  EXPECT_EQ(Check(Numbers("abc", "abc")), "最长时间请填数字！");
  EXPECT_EQ(Check(Numbers("0", "")), "最长时间请填正整数！");
  EXPECT_EQ(Check(Numbers("60", "")), "上传文件的大小请填数字！");
}

TEST(CheckPhpForm, TheSwitchesAreNotChecked) {
  PhpForm form = Numbers("30", "2");
  form.short_ = "whatever";
  EXPECT_EQ(Check(form), "(accepted)");
}

// ---------------------------------------------------------------------------
// Changes

const std::string kIni = "C:\\Tellurix\\PHP5\\php.ini";

StackWrite Entry(const std::string& key, const std::string& value) {
  return {StackWrite::Kind::IniEntry, kIni, "PHP", key, value};
}

// One change as text, so that a mismatch shows the whole of it.
std::string Describe(const FieldChange& change) {
  std::string out = change.profileKey + "=" + change.value + " ->";
  for (const StackWrite& w : change.writes) {
    out += std::string(w.kind == StackWrite::Kind::IniEntry ? " ini " : " directive ") + w.file + " [" + w.section +
           "] " + w.key + "=" + w.value + ";";
  }
  return out;
}

std::vector<std::string> Describe(const std::vector<FieldChange>& changes) {
  std::vector<std::string> out;
  for (const FieldChange& change : changes) out.push_back(Describe(change));
  return out;
}

std::string Expect(const std::string& key, const std::string& value, const std::vector<StackWrite>& writes) {
  return Describe(FieldChange{key, value, writes});
}

const PhpForm kStored{"On", "Off", "Off", "On", "Off", "30", "2"};

TEST(PhpChanges, NothingDifferentWritesNothing) { EXPECT_TRUE(tellurix::PhpChanges(kStored, kStored, kIni).empty()); }

TEST(PhpChanges, FromAnEmptyProfileAllSevenInOrderAndThePostSizeWithTheUploadSize) {
  const PhpForm current{"Off", "On", "Off", "On", "Off", "60", "8"};
  EXPECT_EQ(Describe(tellurix::PhpChanges(PhpForm{}, current, kIni)),
            (std::vector<std::string>{
                Expect("short_open_tag", "Off", {Entry("short_open_tag", "Off")}),
                Expect("output_buffering", "On", {Entry("output_buffering", "On")}),
                Expect("safe_mode", "Off", {Entry("safe_mode", "Off")}),
                Expect("display_errors", "On", {Entry("display_errors", "On")}),
                Expect("register_globals", "Off", {Entry("register_globals", "Off")}),
                Expect("max_execution_time", "60", {Entry("max_execution_time", "60")}),
                Expect("upload_max_filesize", "8", {Entry("upload_max_filesize", "8M"), Entry("post_max_size", "8M")}),
            }));
}

TEST(PhpChanges, OnlyTheValuesThatDifferAndExactlyByLetterCase) {
  PhpForm current = kStored;
  current.register_ = "On";
  current.upload_file = "16";
  EXPECT_EQ(
      Describe(tellurix::PhpChanges(kStored, current, kIni)),
      (std::vector<std::string>{
          Expect("register_globals", "On", {Entry("register_globals", "On")}),
          Expect("upload_max_filesize", "16", {Entry("upload_max_filesize", "16M"), Entry("post_max_size", "16M")}),
      }));
}

TEST(PhpChanges, ALowerCaseOnIsShownAsOffAndThatIsWrittenAlthoughNothingWasTouched) {
  PhpForm loaded = kStored;
  loaded.short_ = "on";
  // What the lists show is what the dialog reads back.
  PhpForm shown = loaded;
  shown.short_ = std::string(tellurix::SwitchItems()[tellurix::SwitchIndex(loaded.short_)]);
  EXPECT_EQ(Describe(tellurix::PhpChanges(loaded, shown, kIni)),
            (std::vector<std::string>{Expect("short_open_tag", "Off", {Entry("short_open_tag", "Off")})}));
}

TEST(PhpIniPath, IsTheStackFileBelowTheProgramDirectory) {
  EXPECT_EQ(tellurix::PhpIniPath("/opt/Tellurix"), "/opt/Tellurix/PHP5/php.ini");
}

// ---------------------------------------------------------------------------
// Applying to real files


// A program directory below /tmp with the PHP5 folder, removed afterwards.
class PhpApply : public ::testing::Test {
 protected:
  PhpApply() {
    char pattern[] = "/tmp/tellurix-php-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) std::abort();
    directory_ = made;
    fs::create_directory(directory_ + "/PHP5");
  }
  ~PhpApply() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }

  std::string Profile() const { return tellurix::ResolveProfilePath(directory_, tellurix::kProfileFileName); }
  std::string PhpIni() const { return tellurix::PhpIniPath(directory_); }
  tellurix::ApplyOutcome Apply(const PhpForm& loaded, const PhpForm& current) const {
    return tellurix::ApplyChanges(Profile(), "PHP", tellurix::PhpChanges(loaded, current, PhpIni()));
  }

  std::string directory_;
};

TEST_F(PhpApply, PathsAreBelowTheProgramDirectory) {
  EXPECT_EQ(Profile(), directory_ + "/Tellurix.ini");
  EXPECT_EQ(PhpIni(), directory_ + "/PHP5/php.ini");
}

TEST_F(PhpApply, AnEmptyProfileAndNoPhpIniGetEverythingOnTheFirstConfirmation) {
  const auto outcome = Apply(PhpForm{}, PhpForm{"Off", "Off", "Off", "On", "Off", "30", "2"});
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure);
  EXPECT_EQ(Slurp(Profile()),
            "[PHP]\r\nshort_open_tag=Off\r\noutput_buffering=Off\r\nsafe_mode=Off\r\ndisplay_errors=On\r\n"
            "register_globals=Off\r\nmax_execution_time=30\r\nupload_max_filesize=2\r\n");
  EXPECT_EQ(Slurp(PhpIni()),
            "[PHP]\r\nshort_open_tag=Off\r\noutput_buffering=Off\r\nsafe_mode=Off\r\ndisplay_errors=On\r\n"
            "register_globals=Off\r\nmax_execution_time=30\r\nupload_max_filesize=2M\r\npost_max_size=2M\r\n");
  const auto conclusion = tellurix::Conclude(outcome, text::kPhpDone);
  EXPECT_EQ(conclusion.message, "设置成功，重起Apache生效。");
  EXPECT_TRUE(conclusion.close);
}

TEST_F(PhpApply, ARunTimeLineWithACommentIsReplacedWholeAndEveryOtherLineKept) {
  Put(Profile(),
      "; 控制面板\r\n[Apache]\r\nListen=80\r\n\r\n[PHP]\r\nmax_execution_time=30\r\nupload_max_filesize=2\r\n");
  Put(PhpIni(),
      "[PHP]\r\n; 资源限制\r\nmax_execution_time = 30 ; comment\r\nmemory_limit = 128M\r\n"
      "upload_max_filesize = 2M\r\npost_max_size = 8M\r\n\r\n[Session]\r\nsession.save_path = \"C:\\tmp\"\r\n");
  PhpForm loaded = kStored;
  PhpForm current = kStored;
  current.max_time = "60";
  current.upload_file = "8";
  const auto outcome = Apply(loaded, current);
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.failure);
  EXPECT_EQ(Slurp(Profile()),
            "; 控制面板\r\n[Apache]\r\nListen=80\r\n\r\n[PHP]\r\nmax_execution_time=60\r\nupload_max_filesize=8\r\n");
  EXPECT_EQ(Slurp(PhpIni()),
            "[PHP]\r\n; 资源限制\r\nmax_execution_time=60\r\nmemory_limit = 128M\r\n"
            "upload_max_filesize=8M\r\npost_max_size=8M\r\n\r\n[Session]\r\nsession.save_path = \"C:\\tmp\"\r\n");
}

TEST_F(PhpApply, KeysTheSectionLacksAreAddedAfterItsLastKey) {
  Put(Profile(), "[PHP]\r\nsafe_mode=Off\r\n");
  Put(PhpIni(), "[PHP]\r\nengine = On\r\n\r\n; end of PHP\r\n[Zend]\r\nzend.x = 1\r\n");
  PhpForm loaded;
  loaded.safe = "Off";
  PhpForm current = loaded;
  current.safe = "On";
  current.upload_file = "4";
  ASSERT_FALSE(Apply(loaded, current).failure);
  EXPECT_EQ(Slurp(Profile()), "[PHP]\r\nsafe_mode=On\r\nupload_max_filesize=4\r\n");
  EXPECT_EQ(Slurp(PhpIni()),
            "[PHP]\r\nengine = On\r\nsafe_mode=On\r\nupload_max_filesize=4M\r\npost_max_size=4M\r\n\r\n"
            "; end of PHP\r\n[Zend]\r\nzend.x = 1\r\n");
}

TEST_F(PhpApply, NoChangeTouchesNoFile) {
  const auto outcome = Apply(kStored, kStored);
  EXPECT_FALSE(outcome.written);
  EXPECT_FALSE(fs::exists(Profile()));
  EXPECT_FALSE(fs::exists(PhpIni()));
  const auto conclusion = tellurix::Conclude(outcome, text::kPhpDone);
  EXPECT_FALSE(conclusion.message);
  EXPECT_TRUE(conclusion.close);
}

TEST_F(PhpApply, AReadOnlyPhpIniStopsAtItsWriteAndTheProfileKeepsTheValue) {
  Put(Profile(), "[PHP]\r\nmax_execution_time=30\r\n");
  Put(PhpIni(), "[PHP]\r\nmax_execution_time = 30\r\n");
  ASSERT_EQ(::chmod(PhpIni().c_str(), 0444), 0);
  PhpForm loaded = kStored;
  PhpForm current = kStored;
  current.max_time = "60";
  current.upload_file = "8";
  const auto outcome = Apply(loaded, current);
  ASSERT_TRUE(outcome.failure);
  EXPECT_EQ(outcome.failure->kind, tellurix::ErrorKind::AccessDenied);
  EXPECT_EQ(outcome.failure->path, PhpIni());
  EXPECT_EQ(Slurp(Profile()), "[PHP]\r\nmax_execution_time=60\r\n") << "the upload size is not tried after the failure";
  EXPECT_EQ(Slurp(PhpIni()), "[PHP]\r\nmax_execution_time = 30\r\n");
  const auto conclusion = tellurix::Conclude(outcome, text::kPhpDone);
  ASSERT_TRUE(conclusion.message);
  EXPECT_NE(conclusion.message->find("php.ini"), std::string::npos) << *conclusion.message;
  EXPECT_EQ(conclusion.message->find("设置成功"), std::string::npos) << *conclusion.message;
  EXPECT_FALSE(conclusion.close);
}

TEST_F(PhpApply, AMissingPhpFolderIsReportedAndNotCreated) {
  fs::remove(directory_ + "/PHP5");
  PhpForm current = kStored;
  current.display = "Off";
  const auto outcome = Apply(kStored, current);
  ASSERT_TRUE(outcome.failure);
  EXPECT_EQ(outcome.failure->kind, tellurix::ErrorKind::NotFound);
  EXPECT_EQ(Slurp(Profile()), "[PHP]\r\ndisplay_errors=Off\r\n");
  EXPECT_FALSE(fs::exists(directory_ + "/PHP5"));
  EXPECT_FALSE(tellurix::Conclude(outcome, text::kPhpDone).close);
}

}  // namespace
