// The panel's dialog template: caption, font, and every control with its text, id, class, style
// and rectangle in dialog units. Included by the Windows resource script (CONTROL statements)
// and by the Qt window (a table in tab order), so both draw the same panel from one description.
// Plain preprocessor only; texts are UTF-8 (the resource script compiles with code page 65001).
#ifndef DRIVERPANEL_RESOURCES_PANEL_TEMPLATE_H
#define DRIVERPANEL_RESOURCES_PANEL_TEMPLATE_H

#include "resource.h"

#define PANEL_CAPTION "Orlevan D20220513"
#define PANEL_FONT_FACE "Cambria"
#define PANEL_FONT_POINTS 14
#define PANEL_X 0
#define PANEL_Y 0
#define PANEL_WIDTH 207
#define PANEL_HEIGHT 121

// Each control: text, id, class, style, x, y, width, height -- the argument order of the
// resource script's CONTROL statement. Listed here in tab order.
#define PANEL_CTL_OPEN_PORT "OpenPort", IDC_OPEN_PORT, "Button", 0x50010000, 135, 12, 47, 20
#define PANEL_CTL_SET "SET", IDC_SET, "Button", 0x50010000, 135, 43, 47, 20
#define PANEL_CTL_PORT_LIST "", IDC_PORT_LIST, "ComboBoxEx32", 0x50210103, 53, 19, 56, 174
#define PANEL_CTL_PORT_LIST_LABEL "PortList:", IDC_STATIC, "Static", 0x50020000, 13, 21, 29, 8
#define PANEL_CTL_CURRENT "", IDC_CURRENT, "Edit", 0x50810085, 53, 48, 56, 15
#define PANEL_CTL_CURRENT_LABEL "Current:", IDC_STATIC, "Static", 0x50020000, 13, 50, 29, 8
#define PANEL_CTL_CURRENT_UNIT "mA", IDC_STATIC, "Static", 0x50020000, 111, 54, 12, 8
#define PANEL_CTL_LD_TEMP_LABEL "LDTemp:", IDC_STATIC, "Static", 0x50020000, 104, 81, 29, 8
#define PANEL_CTL_LD_TEMP "", IDC_LD_TEMP, "Static", 0x50820001, 136, 77, 37, 13
#define PANEL_CTL_LD_TEMP_UNIT "℃", IDC_STATIC, "Static", 0x50020000, 178, 82, 9, 8
#define PANEL_CTL_SLIDER "Slider1", IDC_SLIDER, "msctls_trackbar32", 0x50010000, 20, 99, 159, 13
#define PANEL_CTL_STEP_DOWN "《", IDC_STEP_DOWN, "Button", 0x50010000, 8, 99, 12, 9
#define PANEL_CTL_STEP_UP "》", IDC_STEP_UP, "Button", 0x50010000, 182, 99, 12, 9
#define PANEL_CTL_POWER_LABEL "Power:", IDC_STATIC, "Static", 0x50020000, 13, 81, 24, 8
#define PANEL_CTL_POWER "", IDC_POWER, "Static", 0x50820001, 45, 77, 37, 13
#define PANEL_CTL_POWER_UNIT "mW", IDC_STATIC, "Static", 0x50020000, 86, 82, 15, 8

#endif
