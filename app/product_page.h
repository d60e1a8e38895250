#pragma once

#include "message_seam.h"

#include <QString>

namespace Module1 {

// The maker's web address (the caption of lblurl) and the product page opened by a click on it.
// The host is chosen when the program is built.
QString MakerSiteUrl();
QString ProductPageUrl();

// Hands the product page, not the address shown, to the user's browser. The result is not examined.
void OpenProductPage(const UrlOpener &openUrl);

} // namespace Module1
