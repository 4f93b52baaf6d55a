#pragma once
// The maker's web presence: the web site, its pages, the support address
// and the server that holds the newest version number.

namespace site {
inline constexpr const char* kWebSite = "http://www.quintrel.org";
// Opened by start-up when the environment needs an update.
inline constexpr const char* kSupportPage = "http://www.quintrel.org/support.htm";
// The update page's support button.
inline constexpr const char* kContactPage = "http://www.quintrel.org/contactus.htm";
inline constexpr const char* kSupportEmail = "support@quintrel.org";
// Serves the version file on port 80; QUINTREL_UPDATE_SERVER ("host" or
// "host:port") takes its place.
inline constexpr const char* kUpdateServer = "update.quintrel.org";
inline constexpr unsigned short kUpdatePort = 80;
} // namespace site
