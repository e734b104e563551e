// Identifiers of the panel's dialog template, its controls and the application icon.
// Shared by the Windows resource script and the Qt window: keep it to plain #defines.
#ifndef DRIVERPANEL_RESOURCES_RESOURCE_H
#define DRIVERPANEL_RESOURCES_RESOURCE_H

#define IDR_MAINFRAME 128
#define IDD_PANEL_DIALOG 102

#define IDC_OPEN_PORT 1000
#define IDC_SET 1001
#define IDC_PORT_LIST 1003
#define IDC_CURRENT 1005
#define IDC_LD_TEMP 1006
#define IDC_POWER 1007
#define IDC_SLIDER 1008
#define IDC_STEP_DOWN 1013
#define IDC_STEP_UP 1014

#define IDC_STATIC -1

#endif
