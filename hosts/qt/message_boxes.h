// The panel's two message boxes.
#ifndef DRIVERPANEL_HOSTS_QT_MESSAGE_BOXES_H
#define DRIVERPANEL_HOSTS_QT_MESSAGE_BOXES_H

#include <string>

class QWidget;

// A failed port function: "Application Error", stop icon, OK, no owner. Returns on OK.
void ShowApplicationErrorBox(const std::string& text);

// The panel's own warnings: only OK, no icon, owned by `owner`. Returns on OK.
void ShowWarningBox(QWidget* owner, const std::string& text, const std::string& title);

#endif
