#include "core/process_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using tellurix::ImageNameIs;

// A fixed-size name field of 260 characters, filled from `content` (which may
// hold NULs of its own) and padded with NULs.
std::vector<wchar_t> Field(const std::wstring& content) {
  std::vector<wchar_t> field(260, L'\0');
  std::copy(content.begin(), content.end(), field.begin());
  return field;
}

struct NameCase {
  const char* why;
  std::wstring field;
  const char* wanted;
  bool matches;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.why; }

class ImageNameMatching : public ::testing::TestWithParam<NameCase> {};

TEST_P(ImageNameMatching, ComparesWholeNameBeforeFirstNul) {
  const NameCase& c = GetParam();
  std::vector<wchar_t> field = Field(c.field);
  EXPECT_EQ(ImageNameIs(field.data(), field.size(), c.wanted), c.matches) << c.why;
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    ProcessProbe, ImageNameMatching,
    ::testing::Values(
        // The exact image names of both servers are found.
        NameCase{"exact_web_server", L"httpd.exe", "httpd.exe", true},
        NameCase{"exact_database_server", L"mysqld-nt.exe", "mysqld-nt.exe", true},
        // Letter case matters.
        NameCase{"upper_case", L"HTTPD.EXE", "httpd.exe", false},
        NameCase{"mixed_case", L"Httpd.exe", "httpd.exe", false},
        // A name that only contains the wanted one is a different program.
        NameCase{"longer_name", L"myhttpd.exe", "httpd.exe", false},
        NameCase{"prefix_only", L"httpd", "httpd.exe", false},
        NameCase{"similar_server", L"mysqld.exe", "mysqld-nt.exe", false},
        // No trimming and no directory part.
        NameCase{"trailing_space", L"httpd.exe ", "httpd.exe", false},
        NameCase{"with_directory", L"C:\\Apache2\\bin\\httpd.exe", "httpd.exe", false},
        // A short name written over a longer one: only the part before the NUL counts.
        NameCase{"short_name_stale_tail", L"abc\0d.exe"s, "abc", true},
        NameCase{"stale_tail_not_a_match", L"abc\0httpd.exe"s, "httpd.exe", false},
        NameCase{"stale_tail_of_the_wanted_name", L"h\0tpd.exe"s, "httpd.exe", false},
        NameCase{"match_with_leftovers_after_NUL", L"httpd.exe\0xyz.exe"s, "httpd.exe", true},
        // An empty field (a failed enumeration) matches no image name.
        NameCase{"empty_field", L"", "httpd.exe", false},
        // A wide character whose low byte is 'e' is not 'e'.
        NameCase{"non_ASCII_look_alike", L"httpd.ex\u0165", "httpd.exe", false}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.why); });

// A field without any NUL is taken whole, and nothing past its length is read.
TEST(ProcessProbeField, FieldWithoutNulIsTakenWhole) {
  const wchar_t full[] = {L'h', L't', L't', L'p', L'd', L'.', L'e', L'x', L'e'};
  EXPECT_TRUE(ImageNameIs(full, 9, "httpd.exe"));
  // The same characters cut short by the field length are a different name.
  EXPECT_FALSE(ImageNameIs(full, 5, "httpd.exe"));
  EXPECT_TRUE(ImageNameIs(full, 5, "httpd"));
  // A field of length zero holds the empty name.
  EXPECT_FALSE(ImageNameIs(full, 0, "httpd.exe"));
}

// The wanted name ends at its own length, even when its text runs on in memory.
TEST(ProcessProbeField, WantedNameEndsAtItsLength) {
  const std::vector<wchar_t> field = Field(L"httpd.exe.bak");
  const std::string_view wanted("httpd.exe.bak", 9);
  EXPECT_FALSE(ImageNameIs(field.data(), field.size(), wanted));
}

}  // namespace
