// The dialog font and its stand-in.
#include "hosts/qt/panel_font.h"

#include "hosts/qt/dialog_units.h"
#include "resources/panel_template.h"

namespace {
constexpr int kDialogDpi = 96;  // the layout's reference resolution; Qt scales for others
constexpr int kPointsPerInch = 72;
constexpr const char* kMetricTwin = "Caladea";  // same advance widths and heights as Cambria
}  // namespace

QFont PanelFont() {
    // Used only when Cambria itself is missing. Glyphs neither has (the full-width brackets)
    // come from the system's fallback fonts.
    QFont::insertSubstitution(QStringLiteral(PANEL_FONT_FACE), QString::fromLatin1(kMetricTwin));
    QFont font(QStringLiteral(PANEL_FONT_FACE));
    font.setPixelSize(MulDiv(PANEL_FONT_POINTS, kDialogDpi, kPointsPerInch));
    return font;
}
