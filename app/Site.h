#pragma once
// The maker's web presence: the web site, its support page and the update server.

namespace site {
inline constexpr const char* kWebSite = "http://www.quintrel.org";
inline constexpr const char* kSupportPage = "http://www.quintrel.org/support.htm";
} // namespace site
