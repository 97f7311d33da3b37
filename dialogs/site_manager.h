// The site manager `zhanform`: its controls, the example it shows, and how the
// bytes of vhosts.conf become the editor's text and the editor's text becomes
// the file's bytes again.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout.h"
#include "core/result.h"

namespace tellurix {

inline constexpr int kSiteClientWidth = 445;
inline constexpr int kSiteClientHeight = 472;
const std::vector<ControlLayout>& SiteManagerControls();

// Six lines joined by CR LF, no break after the last.
std::string_view SiteExampleText();      // shown in `Text1`
std::string_view SiteExplanationText();  // the caption of `Label3`

// How a save writes the file. Apache reads the file names in it as UTF-8, so a
// save always writes UTF-8, with the byte-order mark when the file had one; a
// file an older tool wrote in the ANSI code page is read from it and saved in
// UTF-8 from then on (the same text, other bytes).
enum class SiteEncoding {
  Utf8,         // without a byte-order mark
  Utf8WithBom,  // with the mark, which is kept
  NotText,      // neither UTF-8 nor the code page: shown empty, never saved over
};

struct SiteFileText {
  std::string text;  // UTF-8: every line of the file, each followed by CR LF
  SiteEncoding encoding;
};

// The file's bytes as the editor shows them: UTF-8 when they have a byte-order
// mark or are valid UTF-8, else the system's code page.
SiteFileText LoadSiteFile(std::string_view bytes);

// The editor's text as the file's bytes: without the spaces at its beginning and
// end, in UTF-8 (after the mark for Utf8WithBom). Nullopt for NotText.
std::optional<std::string> SaveSiteFile(std::string_view editorText, SiteEncoding encoding);

// What the dialog starts with, given the outcome of reading the file.
struct SiteOpening {
  std::string text;  // for `host`
  SiteEncoding encoding = SiteEncoding::Utf8;
  bool canSave = true;
  std::optional<std::string> message;  // a problem to report once the dialog shows
};
// `isFolder`: the path names a folder (the read then fails).
SiteOpening OpenSiteFile(const Result<std::string>& read, const std::string& path, bool isFolder);

// The Chinese messages of the dialog's failures.
std::string SiteNotTextMessage(const std::string& path);
std::string SiteTooLongMessage(const std::string& path);

std::string VhostsConfPath(std::string_view programDirectory);

}  // namespace tellurix
