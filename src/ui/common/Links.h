#pragma once

// The project's web addresses: the homepage the about window shows, and the
// issues page that "Technical Support" opens. Packagers may set their own
// through the compile definitions below.
#ifndef QV_HOMEPAGE
#define QV_HOMEPAGE "https://github.com/quorvex/quorvex"
#endif
#ifndef QV_SUPPORT_URL
#define QV_SUPPORT_URL "https://github.com/quorvex/quorvex/issues"
#endif

inline constexpr const char* HomepageUrl = QV_HOMEPAGE;
inline constexpr const char* TechnicalSupportUrl = QV_SUPPORT_URL;
