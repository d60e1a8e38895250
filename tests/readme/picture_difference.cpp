// Compares a committed picture with one the build drew:
//   picture_difference COMMITTED.png DRAWN.png [MOST-DIFFERING-PERCENT]
// Prints how many pixels differ (a channel by more than a font's anti-aliasing wobble); exit 0 when
// both have the same size and at most MOST-DIFFERING-PERCENT (default 1) of the pixels differ.
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kChannelTolerance = 2; // of 255: a colour changed by less shows no one
constexpr double kDefaultMostDifferingPercent = 0.2;

bool pixelsDiffer(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) > kChannelTolerance ||
           std::abs(qGreen(a) - qGreen(b)) > kChannelTolerance ||
           std::abs(qBlue(a) - qBlue(b)) > kChannelTolerance;
}

qsizetype differingPixels(const QImage &a, const QImage &b) {
    qsizetype count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            count += pixelsDiffer(lineA[x], lineB[x]) ? 1 : 0;
    }
    return count;
}
} // namespace

int main(int argc, char *argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: picture_difference COMMITTED.png DRAWN.png [PERCENT]\n");
        return 2;
    }
    const double mostPercent = argc > 3 ? std::atof(argv[3]) : kDefaultMostDifferingPercent;
    const QImage committed =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage drawn =
        QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (committed.isNull() || drawn.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0],
                     committed.isNull() ? argv[1] : argv[2]);
        return 2;
    }
    if (committed.size() != drawn.size()) {
        std::printf("%s is %dx%d, the build draws %dx%d\n", argv[1], committed.width(),
                    committed.height(), drawn.width(), drawn.height());
        return 1;
    }
    const qsizetype differing = differingPixels(committed, drawn);
    const double percent =
        100.0 * double(differing) / double(committed.width() * committed.height());
    std::printf("%s: %lld of %d pixels differ (%.2f %%)\n", argv[1],
                static_cast<long long>(differing), committed.width() * committed.height(), percent);
    return percent <= mostPercent ? 0 : 1;
}
