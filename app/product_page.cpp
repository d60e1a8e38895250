#include "product_page.h"

#include <QUrl>

#ifndef GX7140R_MAKER_HOST
#define GX7140R_MAKER_HOST "www.example.com"
#endif

namespace Module1 {
namespace {
const QString kHost = QStringLiteral(GX7140R_MAKER_HOST);
const QString kProductPagePath = QStringLiteral("/tarnoxaproducts/sensor/co2/2014/1230/1816.html");
} // namespace

QString MakerSiteUrl() {
    return QStringLiteral("http://") + kHost + u'/';
}

QString ProductPageUrl() {
    return QStringLiteral("http://") + kHost + kProductPagePath;
}

void OpenProductPage(const UrlOpener &openUrl) {
    if (openUrl)
        openUrl(QUrl(ProductPageUrl()));
}

} // namespace Module1
