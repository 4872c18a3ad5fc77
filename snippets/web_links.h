// The share links built into the program: the update-information page, the counter's address,
// the bulletin and the feedback address, each a share page on the second cloud-disk service.
#pragma once

#include "web/share_link.h"

// The program's own values; the README names them, since the program reads from and reports to
// them. The domain is a reserved one until the services are hosted, so nothing goes to a host
// that is not ours.
inline constexpr const char* kBuiltInUpdateInfoLink = "http://yunpan.snipdock.example/lk/update-info";
inline constexpr const char* kBuiltInOnlineCountLink = "http://yunpan.snipdock.example/lk/online-count";
inline constexpr const char* kBuiltInNoticeLink = "http://yunpan.snipdock.example/lk/notice";
inline constexpr const char* kBuiltInFeedbackLink = "http://yunpan.snipdock.example/lk/feedback";

// The links in use: the built-in ones (tests may point them elsewhere, web_links_test_hooks.h).
ShareLink UpdateInfoLink();
ShareLink OnlineCountLink();
ShareLink NoticeLink();
ShareLink FeedbackLink();
