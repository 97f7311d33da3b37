#include "dialogs/site_manager.h"

#include "core/codepage.h"
#include "core/text_lines.h"
#include "dialogs/settings_apply.h"
#include "resources/ids.h"
#include "resources/texts.h"

namespace tellurix {

namespace {

using K = ControlLayout::Kind;
namespace d = ids::zhanform;

// The editor cannot hold a NUL, and a UTF-16 file is not text in either encoding:
// loading either would lose part of the file on the next save.
bool CannotBeEdited(std::string_view bytes) {
  return LooksLikeUtf16(bytes) || bytes.find('\0') != std::string_view::npos;
}

// Every line followed by CR LF, the last included. A line may end in CR LF, a
// bare LF or a bare CR (a file edited on another system), and all three count
// as one line break.
std::string OneLinePerBreak(std::string_view text) {
  std::string joined;
  joined.reserve(text.size() + text.size() / 16 + 2);
  for (const TextLine& line : SplitLines(text)) {
    joined.append(line.text);
    joined.append("\r\n");
  }
  return joined;
}

// Only U+0020 counts: leading tabs, line breaks and trailing empty lines are part
// of what the user typed.
std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string CannotReadMessage(const Error& error, bool isFolder) {
  std::string_view reason = text::kSiteReadFailedOther;
  if (isFolder) {
    reason = text::kSiteReadFailedFolder;
  } else if (error.kind == ErrorKind::AccessDenied) {
    reason = text::kSiteReadFailedAccessDenied;
  }
  return std::string(text::kSiteReadFailedBefore) + error.path + text::kSiteReadFailedMiddle + std::string(reason) +
         text::kSiteReadFailedAfter;
}

}  // namespace

const std::vector<ControlLayout>& SiteManagerControls() {
  using namespace text;
  // `Label3` and `Text1` are filled when the dialog loads.
  static const std::vector<ControlLayout> controls = {
      {d::Label3, K::Label, "", 0, {16, 16, 145, 97}},
      {d::Label2, K::Label, kSiteExampleLabel, 0, {168, 40, 17, 41}},
      {d::Text1, K::MultiLineEdit, "", 0, {192, 16, 233, 97}},
      {d::Label1, K::Label, kSiteCopyHint, 0, {16, 128, 385, 17}},
      {d::host, K::ScrollingMultiLineEdit, "", 0, {16, 152, 409, 273}},
      {d::Command2, K::Button, kCancel, 0, {192, 432, 73, 25}},
      {d::Command1, K::Button, kSave, 0, {296, 432, 73, 25}},
  };
  return controls;
}

std::string_view SiteExampleText() { return text::kSiteExample; }
std::string_view SiteExplanationText() { return text::kSiteExplanation; }

SiteFileText LoadSiteFile(std::string_view bytes) {
  const bool bom = StartsWithUtf8Bom(bytes);
  const std::string_view body = bytes.substr(bom ? kUtf8Bom.size() : 0);
  if (CannotBeEdited(body)) return {{}, SiteEncoding::NotText};
  // UTF-8 comes first: most Chinese text in UTF-8 is also valid (and garbled) in
  // code page 936, while text in code page 936 is rarely valid UTF-8.
  if (IsUtf8(body)) return {OneLinePerBreak(body), bom ? SiteEncoding::Utf8WithBom : SiteEncoding::Utf8};
  if (bom) return {{}, SiteEncoding::NotText};
  if (auto text = FromAnsi(body)) return {OneLinePerBreak(*text), SiteEncoding::Utf8};
  // Anything else would turn into replacement characters and be saved that way.
  return {{}, SiteEncoding::NotText};
}

std::optional<std::string> SaveSiteFile(std::string_view editorText, SiteEncoding encoding) {
  // Nothing is added: the text as it stands, no line break appended.
  const std::string_view text = TrimSpaces(editorText);
  switch (encoding) {
    case SiteEncoding::Utf8: return std::string(text);
    case SiteEncoding::Utf8WithBom: return std::string(kUtf8Bom) + std::string(text);
    case SiteEncoding::NotText: break;
  }
  return std::nullopt;
}

SiteOpening OpenSiteFile(const Result<std::string>& read, const std::string& path, bool isFolder) {
  SiteOpening opening;
  if (read) {
    SiteFileText loaded = LoadSiteFile(*read);
    opening.text = std::move(loaded.text);
    opening.encoding = loaded.encoding;
    if (opening.encoding == SiteEncoding::NotText) {
      opening.canSave = false;
      opening.message = SiteNotTextMessage(path);
    }
    return opening;
  }
  // No file yet: the editor starts empty, and saving creates the file.
  if (read.error().kind == ErrorKind::NotFound && !isFolder) return opening;
  // A file that exists but cannot be read must not be replaced by an empty or
  // partial text, so saving is refused for this opening.
  opening.canSave = false;
  opening.message = CannotReadMessage(read.error(), isFolder);
  return opening;
}

std::string SiteNotTextMessage(const std::string& path) {
  return std::string(text::kSiteNotTextBefore) + path + text::kSiteNotTextAfter;
}

std::string SiteTooLongMessage(const std::string& path) {
  return std::string(text::kSiteTooLongBefore) + path + text::kSiteTooLongAfter;
}

std::string VhostsConfPath(std::string_view programDirectory) {
  return StackPath(programDirectory, "\\Apache2\\conf\\vhosts.conf");
}

}  // namespace tellurix
