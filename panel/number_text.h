// The panel's number formats ("%d" and "%.1f"), independent of the C locale, which a window
// toolkit may set from the environment and which would otherwise turn 25.3 into "25,3".
#ifndef DRIVERPANEL_PANEL_NUMBER_TEXT_H
#define DRIVERPANEL_PANEL_NUMBER_TEXT_H

#include <string>

std::string FormatInteger(int value);

// Rounded to one decimal place exactly as "%.1f" rounds, with '.' as the separator.
std::string FormatOneDecimal(double value);

#endif
