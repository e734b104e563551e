// The panel template's controls in tab order, as plain data, for tests that compare a dialog or
// its compiled resource with the one description in resources/panel_template.h.
#ifndef DRIVERPANEL_TESTS_HOSTS_WIN32_TEMPLATE_CONTROLS_H
#define DRIVERPANEL_TESTS_HOSTS_WIN32_TEMPLATE_CONTROLS_H

#include "resources/panel_template.h"

struct TemplateControl {
    const char* text;  // UTF-8
    int id;
    const char* className;
    unsigned long style;
    int x, y, width, height;
};

inline constexpr TemplateControl kTemplateControls[] = {
    {PANEL_CTL_OPEN_PORT},       {PANEL_CTL_SET},           {PANEL_CTL_PORT_LIST},
    {PANEL_CTL_PORT_LIST_LABEL}, {PANEL_CTL_CURRENT},       {PANEL_CTL_CURRENT_LABEL},
    {PANEL_CTL_CURRENT_UNIT},    {PANEL_CTL_LD_TEMP_LABEL}, {PANEL_CTL_LD_TEMP},
    {PANEL_CTL_LD_TEMP_UNIT},    {PANEL_CTL_SLIDER},        {PANEL_CTL_STEP_DOWN},
    {PANEL_CTL_STEP_UP},         {PANEL_CTL_POWER_LABEL},   {PANEL_CTL_POWER},
    {PANEL_CTL_POWER_UNIT},
};

#endif
