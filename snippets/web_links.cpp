// The links in use, read by workers and the GUI thread alike.
#include "snippets/web_links.h"

#include <mutex>

#include "snippets/web_links_test_hooks.h"

namespace {

std::mutex LinksLock;

WebServiceLinks& Links() {
  static WebServiceLinks links = BuiltInWebServiceLinks();
  return links;
}

ShareLink Read(ShareLink WebServiceLinks::*field) {
  std::lock_guard<std::mutex> lock(LinksLock);
  return Links().*field;
}

}  // namespace

WebServiceLinks BuiltInWebServiceLinks() {
  return {kBuiltInUpdateInfoLink, kBuiltInOnlineCountLink, kBuiltInNoticeLink,
          kBuiltInFeedbackLink};
}

void SetWebServiceLinks(const WebServiceLinks& links) {
  std::lock_guard<std::mutex> lock(LinksLock);
  Links() = links;
}

ShareLink UpdateInfoLink() { return Read(&WebServiceLinks::updateInfo); }
ShareLink OnlineCountLink() { return Read(&WebServiceLinks::onlineCount); }
ShareLink NoticeLink() { return Read(&WebServiceLinks::notice); }
ShareLink FeedbackLink() { return Read(&WebServiceLinks::feedback); }
