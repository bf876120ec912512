#pragma once

// The support address the about window and the help menu open. Packagers
// may set their own through the compile definition below.
#ifndef QV_SUPPORT_MAIL
#define QV_SUPPORT_MAIL "support@quorvex.example.org"
#endif

inline constexpr const char* TechnicalSupportMail = QV_SUPPORT_MAIL;
