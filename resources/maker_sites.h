// The maker's two web sites. The update page and the second desktop shortcut of
// the About dialog lead to the main site. Hosts under the reserved ".example"
// domain until the real ones exist.
#pragma once

namespace sites {
inline constexpr char kFirstSiteHost[] = "www.lanterra.example";
inline constexpr char kMainSiteHost[] = "www.mossgrove.example";
}  // namespace sites
