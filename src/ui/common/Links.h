#pragma once

// The web page and support address the about window and the help menu open.
// Packagers may set their own through the compile definitions below.

#ifndef QV_HOMEPAGE_URL
#define QV_HOMEPAGE_URL "https://quorvex.example.org/"
#endif
#ifndef QV_SUPPORT_MAIL
#define QV_SUPPORT_MAIL "support@quorvex.example.org"
#endif

inline constexpr const char* OnlineResourcesUrl = QV_HOMEPAGE_URL;
inline constexpr const char* TechnicalSupportMail = QV_SUPPORT_MAIL;
