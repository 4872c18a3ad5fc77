// Resolving a share link of a cloud-disk service to the direct address of the shared file.
// Each program passes its own page markers.
#pragma once

#include "runtime/text.h"

using ShareLink = Text;

struct ShareLinkMarkers {
  Text ButtonLeft;      // just before the download address on the first service's share page
  Text ButtonRight;     // just after it
  Text ReplyLeft;       // just before the address in the second service's download reply
  Text ReplyRight;      // just after it
  bool KeepReplyLeft;   // ReplyLeft is put back in front of the address
};

extern const ShareLinkMarkers SnippetShareMarkers;
extern const ShareLinkMarkers UpdaterShareMarkers;

// The host of the first service's share pages, in lower case.
inline constexpr const char* ButtonServiceHost = "pan.baidu.com";
// Marks a link of the second service wherever it stands in the link (case-sensitive).
inline constexpr const char* ApiServiceWord = "yunpan";

// A direct download address, or a copy of a link that neither service's test recognises.
Text ResolveShareLink(const ShareLink& link, const ShareLinkMarkers& markers);
// The download button's address on the share page; "" when the page or a marker is missing.
Text ResolveButtonShareLink(const ShareLink& link, const ShareLinkMarkers& markers);
// The address in the reply to the download-address post; on failure ReplyLeft when
// KeepReplyLeft, else "".
Text ResolveApiShareLink(const ShareLink& link, const ShareLinkMarkers& markers);
