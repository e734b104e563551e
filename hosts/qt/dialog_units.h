// Dialog units to pixels, computed from the dialog font exactly as the Windows dialog manager
// does, so the Qt panel has the layout of the Windows one.
#ifndef DRIVERPANEL_HOSTS_QT_DIALOG_UNITS_H
#define DRIVERPANEL_HOSTS_QT_DIALOG_UNITS_H

#include <QFont>
#include <QRect>
#include <QSize>

#include "hosts/qt/dialog_template.h"

struct DialogBaseUnits {
    int x;  // average character width of the dialog font, in pixels
    int y;  // height of the dialog font, in pixels
};

// a * b / c rounded to the nearest integer, halves away from zero (Win32 MulDiv); c > 0.
int MulDiv(int a, int b, int c);

// Average width: the extent of "A".."Z" "a".."z" / 26, halved and rounded up;
// height: the font's ascent plus descent.
DialogBaseUnits BaseUnitsOf(const QFont& font);

QRect ToPixels(const DialogUnitRect& rect, DialogBaseUnits base);
QSize ToPixels(int width, int height, DialogBaseUnits base);

#endif
