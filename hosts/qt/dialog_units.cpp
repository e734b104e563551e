// Dialog units to pixels from the dialog font's metrics.
#include "hosts/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace {
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}  // namespace

int MulDiv(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t halfStep = product >= 0 ? c : -c;
    return static_cast<int>((2 * product + halfStep) / (2 * static_cast<std::int64_t>(c)));
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int extent = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    return DialogBaseUnits{(extent / 26 + 1) / 2, metrics.ascent() + metrics.descent()};
}

QRect ToPixels(const DialogUnitRect& rect, DialogBaseUnits base) {
    return QRect(MulDiv(rect.x, base.x, 4), MulDiv(rect.y, base.y, 8),
                 MulDiv(rect.width, base.x, 4), MulDiv(rect.height, base.y, 8));
}

QSize ToPixels(int width, int height, DialogBaseUnits base) {
    return QSize(MulDiv(width, base.x, 4), MulDiv(height, base.y, 8));
}
