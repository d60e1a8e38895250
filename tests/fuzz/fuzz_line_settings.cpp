// Any text as the serial settings string.
#include "core/line_settings.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto settings = parseLineSettings(text);
    if (!settings)
        return 0;
    const bool sane = settings->baudRate > 0 && settings->dataBits >= 5 &&
                      settings->dataBits <= 8 && QByteArray("NEOMS").contains(settings->parity) &&
                      (settings->stopBits >= 1 && settings->stopBits <= 3);
    const QString stop =
        settings->stopBits == 3 ? QStringLiteral("1.5") : QString::number(settings->stopBits);
    const QString canonical = QStringLiteral("%1,%2,%3,%4")
                                  .arg(settings->baudRate)
                                  .arg(QChar(settings->parity))
                                  .arg(settings->dataBits)
                                  .arg(stop);
    if (!sane || parseLineSettings(canonical) != settings)
        std::abort();
    return 0;
}
