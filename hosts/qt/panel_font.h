// The dialog font: "Cambria" 14 pt at the 96 dots per inch of the Windows panel, with its
// metric-compatible twin Caladea where Cambria is not installed.
#ifndef DRIVERPANEL_HOSTS_QT_PANEL_FONT_H
#define DRIVERPANEL_HOSTS_QT_PANEL_FONT_H

#include <QFont>

QFont PanelFont();

#endif
