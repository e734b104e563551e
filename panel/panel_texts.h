// Texts the panel's logic writes: the open button's two states and the empty-input warning.
#ifndef DRIVERPANEL_PANEL_PANEL_TEXTS_H
#define DRIVERPANEL_PANEL_PANEL_TEXTS_H

constexpr const char* kOpenPortText = "OpenPort";
constexpr const char* kClosePortText = "ClosePort";
constexpr const char* kFormatErrorText = "Format Error!";
constexpr const char* kWarningTitle = "Warning!";

#endif
