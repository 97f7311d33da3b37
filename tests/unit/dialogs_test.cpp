// The dialogs' portable decisions: the number fields' grammar, and how the site manager reads vhosts.conf in
// whichever encoding it finds and writes it in UTF-8.
#include <gtest/gtest.h>

#include "core/codepage.h"
#include "dialogs/number_field.h"
#include "dialogs/site_manager.h"
#include "resources/texts.h"

namespace {

using E = tellurix::SiteEncoding;
using V = tellurix::NumberVerdict;
constexpr V kOk = V::Accepted, kNotWhole = V::NotAPositiveWholeNumber, kNaN = V::NotANumber;
using tellurix::LoadSiteFile;
using tellurix::SaveSiteFile;

#define BOM "\xEF\xBB\xBF"
#define GBK_SITE "\xD5\xBE\xB5\xE3"  // "站点" in code page 936

// First whether the text reads as a number at all (blanks, a sign, digits with at most one point, an exponent,
// blanks), then whether it is one to fifteen digits without a leading zero.
TEST(NumberField, TwoStepVerdict) {
  const std::pair<const char*, V> rows[] = {
      {"1", kOk}, {"10", kOk}, {"65535", kOk}, {"123456789012345", kOk}, {"8.", kNotWhole}, {".5", kNotWhole},
      {"8 ", kNotWhole}, {"80.0", kNotWhole}, {"+8", kNotWhole}, {"-8", kNotWhole}, {" 8", kNotWhole}, {"0", kNotWhole},
      {"8e1", kNotWhole}, {"8E+1", kNotWhole}, {"8e-1", kNotWhole}, {"1.5e3", kNotWhole}, {"007", kNotWhole},
      {"01", kNotWhole}, {"1234567890123456", kNotWhole}, {"", kNaN}, {" ", kNaN}, {".", kNaN},
      {"e5", kNaN}, {"+", kNaN}, {"-", kNaN}, {"8e", kNaN}, {"8e+", kNaN}, {"8..", kNaN}, {".e1", kNaN}, {"++8", kNaN},
      {"+ 8", kNaN}, {"1,000", kNaN}, {"$8", kNaN}, {"0x8", kNaN}, {"８", kNaN}, {"8 8", kNaN}, {"8\n", kNaN},
      {"8e1.5", kNaN}, {"inf", kNaN}, {"NaN", kNaN}, {"a", kNaN}, {"\t8\t", kNotWhole},
  };
  for (const auto& [text, verdict] : rows) {
    EXPECT_EQ(tellurix::CheckNumberField(text), verdict) << '"' << text << '"';
    EXPECT_EQ(tellurix::ReadsAsNumber(text), verdict != V::NotANumber) << '"' << text << '"';
    EXPECT_EQ(tellurix::IsPositiveWholeNumber(text), verdict == V::Accepted) << '"' << text << '"';
  }
}

// The stack's files are in code page 936 on the target systems.
struct SiteFile : ::testing::Test {
  void SetUp() override { tellurix::SetAnsiCodePage("CP936"); }
};

// How a file opens (every line ending in CR LF in the editor, without one invented after a final break), what saving
// it unedited writes, and that a second open and save writes the same bytes again. Saves are UTF-8, the mark kept: a
// file in code page 936 reads from it and is saved in UTF-8, the same text in other bytes; a UTF-8 text whose bytes
// are valid in code page 936 too reads as UTF-8; a file mixing both is no UTF-8 and reads as code page 936.
TEST_F(SiteFile, OpensReadableAndSavesInUtf8) {
  const struct { std::string file, editor, saved; E encoding = E::Utf8; } rows[] = {
      {"", "", ""}, {"a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\n"}, {"a\nb\n", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd\r\n", "a\r\nb\r\nc\r\nd\r\n"}, {"a\n\rb", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
      {"a\r\r\nb", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"}, {"\r\n\na\r\n\r\n", "\r\n\r\na\r\n\r\n", "\r\n\r\na\r\n\r\n"},
      {"  <V>\n\tN x  \n", "  <V>\r\n\tN x  \r\n", "<V>\r\n\tN x  \r\n"}, {"a   ", "a   \r\n", "a   \r\n"},
      {"a\r\n   ", "a\r\n   \r\n", "a\r\n   \r\n"}, {"   \r\na", "   \r\na\r\n", "\r\na\r\n"}, {"  ", "  \r\n", "\r\n"},
      {"# " GBK_SITE "\n", "# 站点\r\n", "# 站点\r\n"}, {"站点", "站点\r\n", "站点\r\n"},
      {"# 站点\n# " GBK_SITE, "# 绔欑偣\r\n# 站点\r\n", "# 绔欑偣\r\n# 站点\r\n"},
      {BOM, "", BOM, E::Utf8WithBom}, {BOM "# 站点\n", "# 站点\r\n", BOM "# 站点\r\n", E::Utf8WithBom},
      {BOM "Listen 80", "Listen 80\r\n", BOM "Listen 80\r\n", E::Utf8WithBom},
      {"# 中\nListen 80", "# 中\r\nListen 80\r\n", "# 中\r\nListen 80\r\n"},
      {"# 注释：中文\n", "# 注释：中文\r\n", "# 注释：中文\r\n"},
  };
  for (const auto& [file, editor, saved, encoding] : rows) {
    const tellurix::SiteFileText opened = LoadSiteFile(file), reopened = LoadSiteFile(saved);
    EXPECT_TRUE(opened.encoding == encoding && reopened.encoding == encoding && opened.text == editor) << file;
    EXPECT_EQ(SaveSiteFile(opened.text, opened.encoding), saved) << file;
    EXPECT_EQ(SaveSiteFile(reopened.text, reopened.encoding), saved) << file;
  }
  // Bytes that neither encoding can show are not loaded: shown garbled they would be saved that way.
  using namespace std::string_literals;
  for (const std::string& file : {"# \x81\x7F\r\n"s, "Listen 80\r\n\x81"s, BOM "# " GBK_SITE "\r\n"s,
                                  BOM "\xE0\x80\xAF"s, BOM "\xED\xA0\x80"s, BOM "\xF4\x90\x80\x80"s, "Listen\0 80\r\n"s,
                                  "\xFF\xFEL\0i\0"s, "\xFE\xFF\0L\0i"s})
    EXPECT_TRUE(LoadSiteFile(file).encoding == E::NotText && LoadSiteFile(file).text.empty()) << file;
}

// Only U+0020 at the very beginning and end of the whole text goes; every character is saved, none becomes "?".
TEST_F(SiteFile, SavingTheEditorsText) {
  const struct { const char* editor; std::optional<std::string> file; E encoding = E::Utf8; } rows[] = {
      {"   a b  ", "a b"}, {"a   b\r\nc  d", "a   b\r\nc  d"}, {"\tN x\r\n", "\tN x\r\n"}, {"x\t", "x\t"},
      {"  \tx\t  ", "\tx\t"}, {"x\r\n\r\n\r\n", "x\r\n\r\n\r\n"}, {"\r\n  x", "\r\n  x"}, {"x\r\n   ", "x\r\n"},
      {"   \r\nx", "\r\nx"}, {"a  \r\n  b", "a  \r\n  b"}, {"     ", ""}, {"<V *:80>", "<V *:80>"},
      {"　站点　", "　站点　"}, {"# 站点 😀 \r\n", "# 站点 😀 \r\n"},
      {"# 站点\r\n", BOM "# 站点\r\n", E::Utf8WithBom}, {"   ", BOM, E::Utf8WithBom}, {"x", std::nullopt, E::NotText},
  };
  for (const auto& [editor, file, encoding] : rows) EXPECT_EQ(SaveSiteFile(editor, encoding), file) << editor;
}

// A file that cannot be read, or is no text, is never saved over; a missing one is created by the save.
TEST_F(SiteFile, WhatTheDialogStartsWith) {
  using tellurix::Error;
  using tellurix::ErrorKind;
  const std::string path = "C:\\s\\Apache2\\conf\\vhosts.conf", notText = tellurix::SiteNotTextMessage(path);
  // The reason the message gives; none: no message, and the dialog can save.
  const struct { tellurix::Result<std::string> read; bool isFolder; const char *text, *reason; } rows[] = {
      {std::string("a\nb"), false, "a\r\nb\r\n", nullptr}, {Error{ErrorKind::NotFound, path, ""}, false, "", nullptr},
      {Error{ErrorKind::AccessDenied, path, ""}, false, "", text::kSiteReadFailedAccessDenied},
      {Error{ErrorKind::AccessDenied, path, ""}, true, "", text::kSiteReadFailedFolder},
      {Error{ErrorKind::Other, path, ""}, false, "", text::kSiteReadFailedOther},
      {std::string("\x81\x7F"), false, "", notText.c_str()},
  };
  for (const auto& [read, isFolder, text, reason] : rows) {
    const tellurix::SiteOpening opening = tellurix::OpenSiteFile(read, path, isFolder);
    const std::string message = opening.message.value_or("");
    EXPECT_TRUE(opening.text == text && opening.canSave == !reason) << text;
    const bool named = reason && message.find(path) != std::string::npos && message.find(reason) != std::string::npos;
    EXPECT_TRUE(reason ? named : !opening.message) << message;
  }
}

}  // namespace
