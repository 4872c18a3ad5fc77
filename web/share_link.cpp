// Share-link resolving: one GET of the share page for the first service; a GET of the share
// page and a POST of its nid for the second.
#include "web/share_link.h"

#include "runtime/inet.h"
#include "web/http_request.h"
#include "web/url_text.h"

const ShareLinkMarkers SnippetShareMarkers{"new-dbtn\" href=\"", "\" id=\"downFileButtom", "http:", "\"", true};
const ShareLinkMarkers UpdaterShareMarkers{"singledbtn\" href=\"", "\" id=\"downFileButtom",
                                           "{\"downloadurl\":\"", "\"}}", false};

Text ResolveShareLink(const ShareLink& link, const ShareLinkMarkers& markers) {
  if (GetUrlHost(link) == ButtonServiceHost) return ResolveButtonShareLink(link, markers);
  if (FindText(link, ApiServiceWord) != -1) return ResolveApiShareLink(link, markers);
  return link;
}

Text ResolveButtonShareLink(const ShareLink& link, const ShareLinkMarkers& markers) {
  Text page = ToText(HttpGet(link));
  Text address = GetTextBetween(page, markers.ButtonLeft, markers.ButtonRight);
  // The page's "&amp;" becomes "&" (and every other ";" and "amp" goes too).
  address = SubstituteText(address, ";", "");
  return SubstituteText(address, "amp", "");
}

Text ResolveApiShareLink(const ShareLink& link, const ShareLinkMarkers& markers) {
  Text page = UrlDecodeToGbk(ToText(HttpGet(link)));
  Text nid = GetTextBetween(page, "nid : '", "',");
  Text postUrl = "http://" + GetUrlHost(link) + "/share/downloadfile/";
  int slash = FindTextReverse(link, "/");
  Text shareId = slash == -1 ? link : TextMiddle(link, slash + 1, static_cast<int>(link.size()));
  Text reply = ToText(HttpRequest(postUrl, "POST", "surl=" + shareId + "&nid=" + nid));
  Text address = GetTextBetween(reply, markers.ReplyLeft, markers.ReplyRight);
  if (markers.KeepReplyLeft) address = markers.ReplyLeft + address;
  return SubstituteText(address, "\\", "");
}
