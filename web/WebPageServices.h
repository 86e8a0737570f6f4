#pragma once
// The web server page's work over the web server store: the site list of
// start-up, the URL composition and the virtual directory creation of OK,
// plugged into the page's services.
#include "web/WebServerStore.h"
#include "web/frmIIS.h"

namespace t7 {

// Sets listWebSites, composeWebURL and createVirtualDirs of `services` to
// work on `store`, which must outlive the page.
void attachWebServerStore(frmIISServices& services, IWebServerStore& store);

}  // namespace t7
