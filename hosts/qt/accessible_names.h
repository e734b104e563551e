// What assistive technology (a screen reader) calls the controls whose visible text does not say
// what they do: the slider's template text is a placeholder, the step buttons show only brackets,
// and the port list shows only the port. Every other control is named by its text or its label.
#ifndef DRIVERPANEL_HOSTS_QT_ACCESSIBLE_NAMES_H
#define DRIVERPANEL_HOSTS_QT_ACCESSIBLE_NAMES_H

#include <string_view>

#include "resources/resource.h"

struct AccessibleName {
    int controlId;
    std::string_view name;
};

inline constexpr AccessibleName kAccessibleNames[] = {
    {IDC_SLIDER, "Drive current, mA"},
    {IDC_STEP_DOWN, "Step the current down"},
    {IDC_STEP_UP, "Step the current up"},
    {IDC_PORT_LIST, "Serial port"},
};

// What a screen reader hears of a reading (LD temp, power) not refreshed for a while: its
// description, beside its name and its last value.
inline constexpr std::string_view kStaleReadingDescription = "stale";

#endif
