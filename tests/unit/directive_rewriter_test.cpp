#include "core/directive_rewriter.h"

#include <gtest/gtest.h>

#include "tests/unit/test_files.h"
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using testfiles::TempFolder;
using testfiles::Slurp;
using testfiles::Put;
using testfiles::ModeOf;

namespace fs = std::filesystem;
using namespace std::string_literals;
using tellurix::ErrorKind;
using tellurix::ReplaceConfigDirective;
namespace directive = tellurix::directive;

const std::string kBom = "\xEF\xBB\xBF";



std::vector<std::string> RawLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    end = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Which lines are the directive.

struct LineCase {
  const char* why;
  std::string line;
};

TEST(DirectiveQualifies, LinesThatAreTheDirective) {
  const LineCase lines[] = {
      {"name, space, value", "Listen 80"},
      {"indented by spaces", "    Listen 80"},
      {"tab after the name", "Listen\t80"},
      {"several blanks after the name", "Listen \t 80"},
      {"name alone", "Listen"},
      {"name and a trailing space", "Listen "},
      {"indented name alone", "  Listen"},
      {"value with a trailing comment", "Listen 80 # old"},
      {"the name again in the value", "Listen Listen"},
      {"bytes invalid in the code page after the name", "Listen \xFF\x81"},
  };
  for (const LineCase& c : lines) {
    SCOPED_TRACE(c.why);
    EXPECT_TRUE(directive::Qualifies(c.line, "Listen"));
  }
}

TEST(DirectiveQualifies, LinesThatAreNot) {
  const LineCase lines[] = {
      {"empty line", ""},
      {"only spaces", "    "},
      {"indented by a tab", "\tListen 80"},
      {"spaces and a tab", "  \tListen 80"},
      {"indented by a vertical tab", "\vListen 80"},
      {"commented out", "#Listen 80"},
      {"commented out with a space", "# Listen 80"},
      {"a longer directive", "ListenBacklog 511"},
      {"a longer directive without value", "ListenBacklog"},
      {"other letter case", "listen 80"},
      {"upper case", "LISTEN 80"},
      {"only part of the name", "Liste"},
      {"colon after the name", "Listen:80"},
      {"equals sign after the name", "Listen=80"},
      {"vertical tab after the name", "Listen\v80"},
      {"the name after other text", "x Listen 80"},
      {"the name inside a section tag", "<Listen 80>"},
      {"a full-width space before the name", "\xA1\xA1Listen 80"},
      {"a byte-order mark before the name", kBom + "Listen 80"},
  };
  for (const LineCase& c : lines) {
    SCOPED_TRACE(c.why);
    EXPECT_FALSE(directive::Qualifies(c.line, "Listen"));
  }
}

// ---------------------------------------------------------------------------
// The rewrite of a file's bytes: the whole result and the count.

struct ApplyCase {
  const char* why;
  std::string before;
  std::string name, line;
  std::string after;
  int replaced;
};

void CheckApply(const ApplyCase& c) {
  SCOPED_TRACE(c.why);
  const directive::Rewrite rewrite = directive::Apply(c.before, c.name, c.line);
  EXPECT_EQ(rewrite.bytes, c.after);
  EXPECT_EQ(rewrite.replaced, c.replaced);
}

TEST(DirectiveApply, QualifyingLinesBecomeTheNewLine) {
  const ApplyCase cases[] = {
      {"one line", "Listen 80\r\n", "Listen", "Listen 8080", "Listen 8080\r\n", 1},
      {"indentation dropped", "#\r\n    Listen 80\r\n#\r\n", "Listen", "Listen 8080", "#\r\nListen 8080\r\n#\r\n",
       1},
      {"trailing comment dropped", "Listen 80 # web\r\n", "Listen", "Listen 8080", "Listen 8080\r\n", 1},
      {"name alone", "Listen\r\n", "Listen", "Listen 8080", "Listen 8080\r\n", 1},
      {"every qualifying line, not only the first", "Listen 80\r\nTimeout 300\r\n  Listen 127.0.0.1:81\r\n",
       "Listen", "Listen 8080", "Listen 8080\r\nTimeout 300\r\nListen 8080\r\n", 2},
      {"tab-indented, commented and longer names stay",
       "\tListen 80\r\n#Listen 80\r\nListenBacklog 511\r\nlisten 80\r\nListen 80\r\n", "Listen", "Listen 8080",
       "\tListen 80\r\n#Listen 80\r\nListenBacklog 511\r\nlisten 80\r\nListen 8080\r\n", 1},
      {"quoted document root", "DocumentRoot \"C:/www\"\r\n<Directory \"C:/www\">\r\n", "DocumentRoot",
       "DocumentRoot \"D:/my site\"", "DocumentRoot \"D:/my site\"\r\n<Directory \"C:/www\">\r\n", 1},
      {"indented directive inside a section tag",
       "<IfModule dir_module>\r\n    DirectoryIndex index.php index.html\r\n</IfModule>\r\n", "DirectoryIndex",
       "DirectoryIndex index.html", "<IfModule dir_module>\r\nDirectoryIndex index.html\r\n</IfModule>\r\n", 1},
      {"empty value", "ServerAdmin a@b\r\n", "ServerAdmin", "ServerAdmin ", "ServerAdmin \r\n", 1},
      {"byte-order mark kept", kBom + "Listen 80\r\n", "Listen", "Listen 8080", kBom + "Listen 8080\r\n", 1},
      {"invalid bytes on other lines kept", "\xFF\xFE\x81\r\nListen 80\r\n\xA1\r\n", "Listen", "Listen 8080",
       "\xFF\xFE\x81\r\nListen 8080\r\n\xA1\r\n", 1},
      {"replacement that is the line already", "Listen 80\r\n", "Listen", "Listen 80", "Listen 80\r\n", 1},
  };
  for (const ApplyCase& c : cases) CheckApply(c);
}

TEST(DirectiveApply, LinesEndAsTheFilesLinesDo) {
  const ApplyCase cases[] = {
      {"last line without a break gets CR LF", "# x\r\nListen 80", "Listen", "Listen 8080",
       "# x\r\nListen 8080\r\n", 1},
      {"single line without any break gets CR LF", "Listen 80", "Listen", "Listen 8080", "Listen 8080\r\n", 1},
      {"LF throughout stays LF", "# x\nListen 80\n\n", "Listen", "Listen 8080", "# x\nListen 8080\n\n", 1},
      {"LF file without a final break gets LF", "# x\nListen 80", "Listen", "Listen 8080",
       "# x\nListen 8080\n", 1},
      {"mixed file gets CR LF everywhere", "# x\nListen 80\r\n# y\n", "Listen", "Listen 8080",
       "# x\r\nListen 8080\r\n# y\r\n", 1},
      {"lone CR lines get CR LF", "# x\rListen 80\r", "Listen", "Listen 8080", "# x\r\nListen 8080\r\n", 1},
      {"no qualifying line still normalises in memory", "# x\nTimeout 1", "Listen", "Listen 8080",
       "# x\nTimeout 1\n", 0},
      {"empty file", "", "Listen", "Listen 8080", "", 0},
      {"only a byte-order mark", kBom, "Listen", "Listen 8080", kBom, 0},
      {"blank lines kept", "\r\n\r\nListen 80\r\n\r\n", "Listen", "Listen 8080", "\r\n\r\nListen 8080\r\n\r\n", 1},
  };
  for (const ApplyCase& c : cases) CheckApply(c);
}

TEST(DirectiveApply, HalfBrokenFiles) {
  const ApplyCase cases[] = {
      {"NUL byte after the name", "Listen\0 80\r\nListen 80\r\n"s, "Listen", "Listen 8080",
       "Listen\0 80\r\nListen 8080\r\n"s, 1},
      {"NUL byte inside the value", "Listen 8\0"s "0\r\n", "Listen", "Listen 8080", "Listen 8080\r\n", 1},
      {"CR CR LF is two line ends", "Listen 80\r\r\n", "Listen", "Listen 8080", "Listen 8080\r\n\r\n", 1},
      {"LF CR is two line ends", "Listen 80\n\r", "Listen", "Listen 8080", "Listen 8080\r\n\r\n", 1},
      {"only line breaks", "\n\n\n", "Listen", "Listen 8080", "\n\n\n", 0},
      {"the name cut by a line break", "Lis\r\nten 80\r\n", "Listen", "Listen 8080", "Lis\r\nten 80\r\n", 0},
      {"a byte-order mark on a later line", "# x\r\n\xEF\xBB\xBFListen 80\r\n", "Listen", "Listen 8080",
       "# x\r\n\xEF\xBB\xBFListen 80\r\n", 0},
      {"half a byte-order mark", "\xEF\xBBListen 80\n", "Listen", "Listen 8080", "\xEF\xBBListen 80\n", 0},
      {"byte-order mark, then an indented directive", kBom + "  Listen 80", "Listen", "Listen 8080",
       kBom + "Listen 8080\r\n", 1},
  };
  for (const ApplyCase& c : cases) CheckApply(c);
}

TEST(DirectiveApply, SecondIdenticalRewriteChangesNothing) {
  const std::string files[] = {"Listen 80", "# x\nListen 80\r\n# y\n", "\tListen 1\rListen 2\r\r", kBom + "a\nb",
                               ""};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const directive::Rewrite once = directive::Apply(file, "Listen", "Listen 8080");
    const directive::Rewrite twice = directive::Apply(once.bytes, "Listen", "Listen 8080");
    EXPECT_EQ(twice.bytes, once.bytes);
    EXPECT_EQ(twice.replaced, once.replaced);
  }
}

// ---------------------------------------------------------------------------
// Rewriting files.

TEST(ReplaceConfigDirective, RewritesTheFileAndCountsTheLines) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  Put(path, "#Listen 12.34.56.78:80\r\nListen 80\r\n  Listen 81\r\n#ListenBacklog 511\r\nListenBacklog 511");
  auto replaced = ReplaceConfigDirective(path, "Listen", "8080");
  ASSERT_TRUE(replaced) << replaced.error().detail;
  EXPECT_EQ(*replaced, 2);
  EXPECT_EQ(Slurp(path),
            "#Listen 12.34.56.78:80\r\nListen 8080\r\nListen 8080\r\n#ListenBacklog 511\r\nListenBacklog 511\r\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
}

TEST(ReplaceConfigDirective, FileWithoutTheDirectiveIsNotWritten) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  // Mixed line breaks and no final break: a write would have changed them.
  const std::string before = "#Listen 80\nListenBacklog 511\r\n\tListen 80\rTimeout 300";
  Put(path, before);
  auto replaced = ReplaceConfigDirective(path, "Listen", "8080");
  ASSERT_TRUE(replaced);
  EXPECT_EQ(*replaced, 0);
  EXPECT_EQ(Slurp(path), before);

  // Read-only as well: nothing to write, so nothing refused.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  auto readOnly = ReplaceConfigDirective(path, "Listen", "8080");
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(*readOnly, 0);
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
}

TEST(ReplaceConfigDirective, MissingFileOrFolderIsNotFoundAndNotCreated) {
  TempFolder folder;
  for (const char* name : {"httpd.conf", "conf/httpd.conf"}) {
    SCOPED_TRACE(name);
    auto replaced = ReplaceConfigDirective(folder.File(name), "Listen", "8080");
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().kind, ErrorKind::NotFound);
    EXPECT_TRUE(folder.Names().empty());
  }
}

TEST(ReplaceConfigDirective, ReadOnlyFileIsRefusedAndLeftAsItWas) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  const std::string before = "Listen 80\r\n";
  Put(path, before);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  auto replaced = ReplaceConfigDirective(path, "Listen", "8080");
  ASSERT_FALSE(replaced);
  EXPECT_EQ(replaced.error().kind, ErrorKind::AccessDenied);
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(ModeOf(path), 0444u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
}

TEST(ReplaceConfigDirective, WriteKeepsTheMode) {
  for (mode_t mode : {0600u, 0640u, 0755u}) {
    SCOPED_TRACE(mode);
    TempFolder folder;
    const std::string path = folder.File("httpd.conf");
    Put(path, "Listen 80\n");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(ReplaceConfigDirective(path, "Listen", "8080"));
    EXPECT_EQ(Slurp(path), "Listen 8080\n");
    EXPECT_EQ(ModeOf(path), mode);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
  }
}

struct BadArguments {
  const char* why;
  std::string name, value;
};

TEST(ReplaceConfigDirective, NamesAndValuesThatAreNotOneLineAreRefused) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  const std::string before = "Listen 80\r\n";
  Put(path, before);
  const BadArguments refused[] = {
      {"empty name", "", "8080"},
      {"name with a space", "Listen 80", "8080"},
      {"name with a tab", "Listen\t", "8080"},
      {"name with a line break", "Listen\r\n", "8080"},
      {"value with CR LF", "Listen", "8080\r\nListen 81"},
      {"value with LF", "Listen", "8080\n"},
      {"value with a lone CR", "Listen", "80\r80"},
  };
  for (const BadArguments& a : refused) {
    SCOPED_TRACE(a.why);
    auto replaced = ReplaceConfigDirective(path, a.name, a.value);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().kind, ErrorKind::InvalidArgument);
    EXPECT_EQ(Slurp(path), before);
  }
}

TEST(ReplaceConfigDirective, ValueIsWrittenInTheCodePage) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  Put(path, "DocumentRoot \"C:/www\"\r\n# 网站\r\n");
  auto replaced = ReplaceConfigDirective(path, "DocumentRoot", "\"D:/网站\"");
  ASSERT_TRUE(replaced);
  EXPECT_EQ(*replaced, 1);
  // The UTF-8 comment (not valid CP936 text) keeps its bytes.
  EXPECT_EQ(Slurp(path), "DocumentRoot \"D:/\xCD\xF8\xD5\xBE\"\r\n# 网站\r\n");
}

TEST(ReplaceConfigDirective, TextWithoutAFormInTheCodePageIsRefused) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  const std::string before = "ServerName localhost\r\n";
  Put(path, before);
  for (const char* value : {"\xF0\x9F\x98\x80.example", "\xFF"}) {
    SCOPED_TRACE(value);
    auto replaced = ReplaceConfigDirective(path, "ServerName", value);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().kind, ErrorKind::BadEncoding);
    EXPECT_EQ(Slurp(path), before);
  }
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
}

TEST(ReplaceConfigDirective, Utf8FileWithByteOrderMarkGetsUtf8) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  Put(path, kBom + "ServerName localhost\n");
  auto replaced = ReplaceConfigDirective(path, "ServerName", "\xF0\x9F\x98\x80.网站");
  ASSERT_TRUE(replaced);
  EXPECT_EQ(*replaced, 1);
  EXPECT_EQ(Slurp(path), kBom + "ServerName \xF0\x9F\x98\x80.网站\n");
}

TEST(ReplaceConfigDirective, Utf16FilesAreRefused) {
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  const std::string before = "\xFF\xFEL\0i\0s\0t\0e\0n\0 \0\x38\0\x30\0\r\0\n\0"s;
  Put(path, before);
  auto replaced = ReplaceConfigDirective(path, "Listen", "8080");
  ASSERT_FALSE(replaced);
  EXPECT_EQ(replaced.error().kind, ErrorKind::BadEncoding);
  EXPECT_EQ(Slurp(path), before);
}

// ---------------------------------------------------------------------------
// The stack's httpd.conf: the settings dialog's five directives.

struct ConfEdit {
  const char* name;
  const char* value;
  std::string oldLine;
  std::string newLine;
};

TEST(ReplaceConfigDirectiveStack, OneDirectiveChangesAndEveryOtherLineKeepsItsBytes) {
  const std::string original = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/Apache2/conf/httpd.conf");
  ASSERT_FALSE(original.empty());
  const ConfEdit edits[] = {
      {"Listen", "8080", "Listen 80\r\n", "Listen 8080\r\n"},
      {"ServerAdmin", "webmaster@example.com", "ServerAdmin admin@localhost\r\n",
       "ServerAdmin webmaster@example.com\r\n"},
      {"ServerName", "www.example.com:8080", "ServerName localhost:80\r\n", "ServerName www.example.com:8080\r\n"},
      {"DocumentRoot", "\"D:/my site\"", "DocumentRoot \"@STACK@/www\"\r\n", "DocumentRoot \"D:/my site\"\r\n"},
      {"DirectoryIndex", "index.html index.php", "    DirectoryIndex index.php index.html\r\n",
       "DirectoryIndex index.html index.php\r\n"},
  };
  const std::vector<std::string> before = RawLines(original);
  for (const ConfEdit& e : edits) {
    SCOPED_TRACE(e.name);
    const auto old = std::find(before.begin(), before.end(), e.oldLine);
    ASSERT_NE(old, before.end());
    ASSERT_EQ(std::count(before.begin(), before.end(), e.oldLine), 1);
    const size_t index = static_cast<size_t>(old - before.begin());

    TempFolder folder;
    const std::string path = folder.File("httpd.conf");
    Put(path, original);
    auto replaced = ReplaceConfigDirective(path, e.name, e.value);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(*replaced, 1);

    std::vector<std::string> expectedLines = before;
    expectedLines[index] = e.newLine;
    std::string expected;
    for (const std::string& line : expectedLines) expected += line;
    const std::string written = Slurp(path);
    EXPECT_EQ(written, expected);

    const std::vector<std::string> after = RawLines(written);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
      if (i == index) continue;
      EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
    }

    auto again = ReplaceConfigDirective(path, e.name, e.value);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, 1);
    EXPECT_EQ(Slurp(path), written) << "a second identical rewrite changed the file";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"httpd.conf"});
  }
}

TEST(ReplaceConfigDirectiveStack, ADirectiveTheFileLacksChangesNothing) {
  const std::string original = Slurp(std::string(TELLURIX_SOURCE_DIR) + "/demo/stack/Apache2/conf/httpd.conf");
  ASSERT_FALSE(original.empty());
  TempFolder folder;
  const std::string path = folder.File("httpd.conf");
  Put(path, original);
  // Only commented out in this file, and a prefix of other directives.
  for (const char* name : {"ListenBacklog", "Server", "Directory"}) {
    SCOPED_TRACE(name);
    auto replaced = ReplaceConfigDirective(path, name, "1");
    ASSERT_TRUE(replaced);
    EXPECT_EQ(*replaced, 0);
    EXPECT_EQ(Slurp(path), original);
  }
}

}  // namespace
