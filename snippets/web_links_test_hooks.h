// For tests only: the program never calls these, so the shipped links cannot be changed.
#pragma once

#include "web/share_link.h"

struct WebServiceLinks {
  ShareLink updateInfo;
  ShareLink onlineCount;
  ShareLink notice;
  ShareLink feedback;
};

WebServiceLinks BuiltInWebServiceLinks();
// Links used from now on; empty links read nothing and post nothing.
void SetWebServiceLinks(const WebServiceLinks& links);
