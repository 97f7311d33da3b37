#include "dialogs/site_manager.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "resources/ids.h"

namespace {

namespace d = ids::zhanform;
using tellurix::SiteEncoding;
using K = tellurix::ControlLayout::Kind;

const char* Name(SiteEncoding encoding) {
  switch (encoding) {
    case SiteEncoding::Ansi: return "Ansi";
    case SiteEncoding::Utf8: return "Utf8";
    case SiteEncoding::Utf8WithBom: return "Utf8WithBom";
    case SiteEncoding::NotText: return "NotText";
  }
  return "?";
}

// Bytes as escapes, so that a failure shows exactly which byte differs.
std::string Show(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string shown;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      shown += "\\x";
      shown += digits[c >> 4];
      shown += digits[c & 15];
    }
  }
  return shown;
}

// The stack's files are in code page 936 on the target systems.
class SiteFile : public ::testing::Test {
 protected:
  void SetUp() override { tellurix::SetAnsiCodePage("CP936"); }
};

// "站点" in code page 936 and in UTF-8.
const std::string kGbkSite = "\xD5\xBE\xB5\xE3";
const std::string kUtf8Site = "站点";
const std::string kBom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------
// The window

TEST(SiteManagerControls, HaveTheirKindsCaptionsAndPlaces) {
  struct Row {
    int id;
    K kind;
    std::string caption;
    tellurix::Rect place;
  };
  const Row rows[] = {
      {d::Label3, K::Label, "", {16, 16, 145, 97}},
      {d::Label2, K::Label, "示例", {168, 40, 17, 41}},
      {d::Text1, K::MultiLineEdit, "", {192, 16, 233, 97}},
      {d::Label1, K::Label, "请复制示例内容填到下面的框中做相应修改后保存", {16, 128, 385, 17}},
      {d::host, K::ScrollingMultiLineEdit, "", {16, 152, 409, 273}},
      {d::Command2, K::Button, "取消", {192, 432, 73, 25}},
      {d::Command1, K::Button, "保存", {296, 432, 73, 25}},
  };
  EXPECT_EQ(tellurix::kSiteClientWidth, 445);
  EXPECT_EQ(tellurix::kSiteClientHeight, 472);
  const auto& controls = tellurix::SiteManagerControls();
  ASSERT_EQ(controls.size(), std::size(rows));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(controls[i].id, rows[i].id) << "at position " << i;
    EXPECT_EQ(controls[i].kind, rows[i].kind) << rows[i].id;
    EXPECT_EQ(controls[i].caption, rows[i].caption) << rows[i].id;
    EXPECT_EQ(controls[i].container, 0) << rows[i].id;
    const tellurix::Rect& p = controls[i].place;
    const tellurix::Rect& q = rows[i].place;
    EXPECT_TRUE(p.left == q.left && p.top == q.top && p.width == q.width && p.height == q.height) << rows[i].id;
  }
}

TEST(SiteManagerTexts, ExampleIsSixLinesOfOneVirtualHostWithoutAFinalBreak) {
  EXPECT_EQ(tellurix::SiteExampleText(),
            "<VirtualHost *:80>\r\n"
            "    ServerAdmin me@site.example\r\n"
            "    DocumentRoot \"D:/www\"\r\n"
            "    ServerName www.site.example\r\n"
            "    ServerAlias site.example\r\n"
            "</VirtualHost>");
}

TEST(SiteManagerTexts, ExplanationIsSixLinesWithoutAFinalBreak) {
  EXPECT_EQ(tellurix::SiteExplanationText(),
            "说明：\r\n"
            "ServerAdmin 信箱\r\n"
            "DocumentRoot 站点目录\r\n"
            "ServerName 域名\r\n"
            "ServerAlias 域名别名\r\n"
            "多站点请重复示例内容");
}

TEST(SiteManagerTexts, UnencodableMessageNamesTheCharacter) {
  EXPECT_EQ(tellurix::SiteUnencodableMessage("😀"),
            "站点信息中的“😀”无法用文件的编码（系统编码）保存，站点信息没有保存。请删去或改写这个字符后再保存。");
}

TEST(SiteManagerTexts, TheFileLiesBelowTheProgramDirectory) {
#ifdef _WIN32
  EXPECT_EQ(tellurix::VhostsConfPath("C:\\My Stack"), "C:\\My Stack\\Apache2\\conf\\vhosts.conf");
#else
  EXPECT_EQ(tellurix::VhostsConfPath("/opt/my stack"), "/opt/my stack/Apache2/conf/vhosts.conf");
#endif
}

// ---------------------------------------------------------------------------
// Loading: lines

// Whatever ends a line in the file, the editor shows it ending in CR LF, the
// last line included; no empty line is invented after a final break.
TEST_F(SiteFile, EveryLineEndsInCrLfInTheEditor) {
  const struct {
    const char* what;
    std::string file, editor;
  } table[] = {
      {"empty file", "", ""},
      {"CR LF", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"LF", "a\nb\n", "a\r\nb\r\n"},
      {"lone CR", "a\rb\r", "a\r\nb\r\n"},
      {"mixed", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd\r\n"},
      {"no final break", "a\r\nb", "a\r\nb\r\n"},
      {"one line, no break", "Listen 80", "Listen 80\r\n"},
      {"CR before CR LF is two breaks", "a\r\r\nb", "a\r\n\r\nb\r\n"},
      {"LF CR is two breaks", "a\n\rb", "a\r\n\r\nb\r\n"},
      {"empty lines kept", "\r\n\na\r\n\r\n", "\r\n\r\na\r\n\r\n"},
      {"spaces and tabs kept", "  <VirtualHost *:80>\n\tServerName x  \n", "  <VirtualHost *:80>\r\n\tServerName x  \r\n"},
  };
  for (const auto& row : table) {
    const tellurix::SiteFileText loaded = tellurix::LoadSiteFile(row.file);
    EXPECT_EQ(loaded.text, row.editor) << row.what;
    EXPECT_EQ(loaded.encoding, SiteEncoding::Ansi) << row.what;
  }
}

// ---------------------------------------------------------------------------
// Saving: outer spaces

// Only U+0020 at the very beginning and end of the whole text goes; everything
// else is written as typed, nothing is appended.
TEST_F(SiteFile, SavingDropsOnlyTheSpacesAroundTheWholeText) {
  const struct {
    const char* what;
    std::string editor, file;
  } table[] = {
      {"outer spaces", "   a b  ", "a b"},
      {"inner spaces", "a   b\r\nc  d", "a   b\r\nc  d"},
      {"leading tab", "\tServerName x\r\n", "\tServerName x\r\n"},
      {"trailing tab", "x\t", "x\t"},
      {"spaces outside tabs", "  \tx\t  ", "\tx\t"},
      {"trailing empty lines", "x\r\n\r\n\r\n", "x\r\n\r\n\r\n"},
      {"leading empty line", "\r\n  x", "\r\n  x"},
      {"spaces after the last break", "x\r\n   ", "x\r\n"},
      {"spaces before the first line", "   \r\nx", "\r\nx"},
      {"spaces at line ends inside", "a  \r\n  b", "a  \r\n  b"},
      {"only spaces", "     ", ""},
      {"empty", "", ""},
      {"no break appended", "<VirtualHost *:80>", "<VirtualHost *:80>"},
  };
  for (const auto& row : table) {
    const auto saved = tellurix::SaveSiteFile(row.editor, SiteEncoding::Ansi);
    ASSERT_TRUE(saved.has_value()) << row.what;
    EXPECT_EQ(Show(*saved), Show(row.file)) << row.what;
  }
}

TEST_F(SiteFile, IdeographicSpaceIsNotASpaceToDrop) {
  const auto saved = tellurix::SaveSiteFile("　站点　", SiteEncoding::Utf8);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, "　站点　");
}

// ---------------------------------------------------------------------------
// Encodings

// How the bytes are read, and that they come back unchanged when saved.
TEST_F(SiteFile, EncodingIsDetectedFromTheBytes) {
  const struct {
    const char* what;
    std::string file;
    SiteEncoding encoding;
    std::string editor;  // UTF-8
  } table[] = {
      {"ASCII", "Listen 80\r\n", SiteEncoding::Ansi, "Listen 80\r\n"},
      {"code page 936 Chinese", "# " + kGbkSite + "\r\n", SiteEncoding::Ansi, "# 站点\r\n"},
      {"UTF-8 with byte-order mark", kBom + "# " + kUtf8Site + "\r\n", SiteEncoding::Utf8WithBom, "# 站点\r\n"},
      {"ASCII with byte-order mark", kBom + "Listen 80", SiteEncoding::Utf8WithBom, "Listen 80\r\n"},
      {"only a byte-order mark", kBom, SiteEncoding::Utf8WithBom, ""},
      // An odd number of three-byte characters before a CR is not valid in 936.
      {"UTF-8 without mark", "# 中\r\nListen 80\r\n", SiteEncoding::Utf8, "# 中\r\nListen 80\r\n"},
      {"UTF-8 without mark, LF", "# 注释：中文\n", SiteEncoding::Utf8, "# 注释：中文\r\n"},
      // Valid in both: the code page wins, so the text shows garbled ("站点" read
      // as code page 936) but nothing is lost on a save.
      {"UTF-8 also valid in 936", "站点", SiteEncoding::Ansi, "绔欑偣\r\n"},
  };
  for (const auto& row : table) {
    const tellurix::SiteFileText loaded = tellurix::LoadSiteFile(row.file);
    EXPECT_STREQ(Name(loaded.encoding), Name(row.encoding)) << row.what;
    EXPECT_EQ(loaded.text, row.editor) << row.what;
  }
}

// Bytes that neither encoding can show are not loaded at all: shown garbled or
// with replacement characters, they would be saved that way.
TEST_F(SiteFile, BytesThatAreNoTextInEitherEncodingAreNotLoaded) {
  const struct {
    const char* what;
    std::string file;
  } table[] = {
      {"lead byte before DEL (invalid in 936 and in UTF-8)", std::string("# \x81\x7F\r\n")},
      {"lone lead byte at the end", std::string("Listen 80\r\n\x81")},
      {"byte-order mark before code page 936", kBom + "# " + kGbkSite + "\r\n"},
      {"byte-order mark before an overlong form", kBom + "\xE0\x80\xAF"},
      {"byte-order mark before a surrogate", kBom + "\xED\xA0\x80"},
      {"byte-order mark before a code point above U+10FFFF", kBom + "\xF4\x90\x80\x80"},
      {"NUL byte", std::string("Listen\0 80\r\n", 12)},
      {"UTF-16 little-endian", std::string("\xFF\xFEL\0i\0", 6)},
      {"UTF-16 big-endian", std::string("\xFE\xFF\0L\0i", 6)},
  };
  for (const auto& row : table) {
    const tellurix::SiteFileText loaded = tellurix::LoadSiteFile(row.file);
    EXPECT_STREQ(Name(loaded.encoding), "NotText") << row.what;
    EXPECT_EQ(loaded.text, "") << row.what;
    EXPECT_FALSE(tellurix::SaveSiteFile("x", loaded.encoding).has_value()) << row.what;
  }
}

TEST_F(SiteFile, SavingWritesTheEncodingTheFileWasReadIn) {
  const struct {
    SiteEncoding encoding;
    std::string editor, file;
  } table[] = {
      {SiteEncoding::Ansi, "# 站点\r\n", "# " + kGbkSite + "\r\n"},
      {SiteEncoding::Utf8, "# 站点\r\n", "# " + kUtf8Site + "\r\n"},
      {SiteEncoding::Utf8WithBom, "# 站点\r\n", kBom + "# " + kUtf8Site + "\r\n"},
      // The mark stays even when the text is emptied.
      {SiteEncoding::Utf8WithBom, "   ", kBom},
      {SiteEncoding::Ansi, "", ""},
  };
  for (const auto& row : table) {
    const auto saved = tellurix::SaveSiteFile(row.editor, row.encoding);
    ASSERT_TRUE(saved.has_value()) << Name(row.encoding);
    EXPECT_EQ(Show(*saved), Show(row.file)) << Name(row.encoding);
  }
}

// A character the code page lacks refuses the save instead of becoming "?".
TEST_F(SiteFile, ACharacterTheCodePageLacksRefusesTheSave) {
  const std::string typed = "# 站点 😀 \r\nListen 80\r\n";
  EXPECT_FALSE(tellurix::SaveSiteFile(typed, SiteEncoding::Ansi).has_value());
  EXPECT_EQ(tellurix::FirstUnencodable(typed, SiteEncoding::Ansi), "😀");
  // UTF-8 files hold every character.
  ASSERT_TRUE(tellurix::SaveSiteFile(typed, SiteEncoding::Utf8).has_value());
  EXPECT_EQ(*tellurix::SaveSiteFile(typed, SiteEncoding::Utf8), typed);
  EXPECT_EQ(tellurix::FirstUnencodable(typed, SiteEncoding::Utf8), "");
  EXPECT_EQ(tellurix::FirstUnencodable("# 站点\r\n", SiteEncoding::Ansi), "");
}

// ---------------------------------------------------------------------------
// Round trip

// Opening and saving without an edit normalises line ends and outer spaces;
// doing it again leaves the file byte for byte as the first save wrote it.
TEST_F(SiteFile, ASecondSaveWithoutEditsIsByteIdenticalToTheFirst) {
  const struct {
    const char* what;
    std::string file, firstSave;
  } table[] = {
      {"CR LF, already normal", "<VirtualHost *:80>\r\n    ServerName a\r\n</VirtualHost>\r\n",
       "<VirtualHost *:80>\r\n    ServerName a\r\n</VirtualHost>\r\n"},
      {"LF", "a\nb\n", "a\r\nb\r\n"},
      {"lone CR", "a\rb", "a\r\nb\r\n"},
      {"mixed, no final break", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd\r\n"},
      {"leading spaces", "   a\r\n", "a\r\n"},
      {"trailing spaces on the last line stay", "a   ", "a   \r\n"},
      {"a last line of spaces stays", "a\r\n   ", "a\r\n   \r\n"},
      {"a first line of spaces goes", "   \r\na", "\r\na\r\n"},
      {"only spaces", "     ", "\r\n"},
      {"tabs and trailing empty lines", "\ta\t\r\n\r\n\r\n", "\ta\t\r\n\r\n\r\n"},
      {"empty", "", ""},
      {"code page 936", "# " + kGbkSite + "\n", "# " + kGbkSite + "\r\n"},
      {"UTF-8 with mark", kBom + "# " + kUtf8Site + "\n", kBom + "# " + kUtf8Site + "\r\n"},
      {"UTF-8 without mark", "# 中\nListen 80", "# 中\r\nListen 80\r\n"},
      // Valid in both encodings: read through the code page (garbled on the
      // screen) and written back through it, so no byte changes.
      {"UTF-8 that is also valid 936", "# 站点管理\r\n", "# 站点管理\r\n"},
  };
  for (const auto& row : table) {
    const tellurix::SiteFileText opened = tellurix::LoadSiteFile(row.file);
    const auto first = tellurix::SaveSiteFile(opened.text, opened.encoding);
    ASSERT_TRUE(first.has_value()) << row.what;
    EXPECT_EQ(Show(*first), Show(row.firstSave)) << row.what;
    const tellurix::SiteFileText reopened = tellurix::LoadSiteFile(*first);
    EXPECT_STREQ(Name(reopened.encoding), Name(opened.encoding)) << row.what;
    const auto second = tellurix::SaveSiteFile(reopened.text, reopened.encoding);
    ASSERT_TRUE(second.has_value()) << row.what;
    EXPECT_EQ(Show(*second), Show(*first)) << row.what;
  }
}

// ---------------------------------------------------------------------------
// Opening

TEST_F(SiteFile, WhatTheDialogStartsWith) {
  using tellurix::Error;
  using tellurix::ErrorKind;
  const std::string path = "C:\\s\\Apache2\\conf\\vhosts.conf";
  const struct {
    const char* what;
    tellurix::Result<std::string> read;
    bool isFolder;
    std::string text;
    bool canSave;
    std::optional<std::string> message;
  } table[] = {
      {"a file", std::string("a\nb"), false, "a\r\nb\r\n", true, std::nullopt},
      {"no file: empty, and saving creates it", Error{ErrorKind::NotFound, path, ""}, false, "", true, std::nullopt},
      {"access denied", Error{ErrorKind::AccessDenied, path, ""}, false, "", false,
       "无法读取文件“" + path + "”（没有读取的权限，或正被其他程序使用）。为免覆盖文件原有的内容，这次不能保存。"},
      {"a folder of that name", Error{ErrorKind::AccessDenied, path, ""}, true, "", false,
       "无法读取文件“" + path + "”（这是一个文件夹）。为免覆盖文件原有的内容，这次不能保存。"},
      {"other failure", Error{ErrorKind::Other, path, ""}, false, "", false,
       "无法读取文件“" + path + "”（读取失败）。为免覆盖文件原有的内容，这次不能保存。"},
      {"not text", std::string("\x81\x7F"), false, "", false,
       "文件“" + path + "”既不是系统编码的文本，也不是UTF-8文本，无法在这里编辑。为免损坏文件，这次不能保存。"},
  };
  for (const auto& row : table) {
    const tellurix::SiteOpening opening = tellurix::OpenSiteFile(row.read, path, row.isFolder);
    EXPECT_EQ(opening.text, row.text) << row.what;
    EXPECT_EQ(opening.canSave, row.canSave) << row.what;
    EXPECT_EQ(opening.message, row.message) << row.what;
  }
}

}  // namespace
