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

// How the file's bytes are stored, so that a save writes them back the same way.
enum class SiteEncoding {
  Ansi,         // the system's code page (plain ASCII included)
  Utf8,         // UTF-8 without a byte-order mark
  Utf8WithBom,  // UTF-8 with the mark, which is kept
  NotText,      // neither: the dialog shows nothing and never saves over it
};

struct SiteFileText {
  std::string text;  // UTF-8: every line of the file, each followed by CR LF
  SiteEncoding encoding;
};

// The file's bytes as the editor shows them.
SiteFileText LoadSiteFile(std::string_view bytes);

// The editor's text as the file's bytes: without the spaces at its beginning and
// end, encoded as the file was. Nullopt when a character has no form in that
// encoding (or the encoding is NotText).
std::optional<std::string> SaveSiteFile(std::string_view editorText, SiteEncoding encoding);

// The first character of `editorText` that the encoding cannot hold; empty when
// there is none.
std::string FirstUnencodable(std::string_view editorText, SiteEncoding encoding);

// What the dialog starts with, given the outcome of reading the file.
struct SiteOpening {
  std::string text;  // for `host`
  SiteEncoding encoding = SiteEncoding::Ansi;
  bool canSave = true;
  std::optional<std::string> message;  // a problem to report once the dialog shows
};
// `isFolder`: the path names a folder (the read then fails).
SiteOpening OpenSiteFile(const Result<std::string>& read, const std::string& path, bool isFolder);

// The Chinese messages of the dialog's failures.
std::string SiteNotTextMessage(const std::string& path);
std::string SiteTooLongMessage(const std::string& path);
std::string SiteUnencodableMessage(std::string_view character);

std::string VhostsConfPath(std::string_view programDirectory);

}  // namespace tellurix
