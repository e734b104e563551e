// The panel's controls as a table in tab order, built from the dialog template that the Windows
// resource script also uses, and the style bits of that template the Qt window honours.
#ifndef DRIVERPANEL_HOSTS_QT_DIALOG_TEMPLATE_H
#define DRIVERPANEL_HOSTS_QT_DIALOG_TEMPLATE_H

#include <array>
#include <cstdint>
#include <string_view>

#include "resources/panel_template.h"

struct DialogUnitRect {
    int x;
    int y;
    int width;
    int height;
};

struct ControlTemplate {
    std::string_view text;  // UTF-8
    int id;
    std::string_view className;
    std::uint32_t style;
    DialogUnitRect rect;
};

// Window classes of the template.
constexpr std::string_view kButtonClass = "Button";
constexpr std::string_view kComboBoxExClass = "ComboBoxEx32";
constexpr std::string_view kStaticClass = "Static";
constexpr std::string_view kEditClass = "Edit";
constexpr std::string_view kTrackbarClass = "msctls_trackbar32";

// Style bits the Qt window maps onto its widgets.
constexpr std::uint32_t kStyleTabStop = 0x00010000;   // WS_TABSTOP: reachable with Tab
constexpr std::uint32_t kStyleBorder = 0x00800000;    // WS_BORDER: thin frame
constexpr std::uint32_t kStyleCentered = 0x00000001;  // SS_CENTER / ES_CENTER: centred text

namespace dialog_template_detail {
constexpr ControlTemplate Make(std::string_view text, int id, std::string_view className,
                               std::uint32_t style, int x, int y, int width, int height) {
    return ControlTemplate{text, id, className, style, DialogUnitRect{x, y, width, height}};
}
}  // namespace dialog_template_detail

// Every control of the panel, in tab order.
inline constexpr std::array kPanelControls = {
    dialog_template_detail::Make(PANEL_CTL_OPEN_PORT),
    dialog_template_detail::Make(PANEL_CTL_SET),
    dialog_template_detail::Make(PANEL_CTL_PORT_LIST),
    dialog_template_detail::Make(PANEL_CTL_PORT_LIST_LABEL),
    dialog_template_detail::Make(PANEL_CTL_CURRENT),
    dialog_template_detail::Make(PANEL_CTL_CURRENT_LABEL),
    dialog_template_detail::Make(PANEL_CTL_CURRENT_UNIT),
    dialog_template_detail::Make(PANEL_CTL_LD_TEMP_LABEL),
    dialog_template_detail::Make(PANEL_CTL_LD_TEMP),
    dialog_template_detail::Make(PANEL_CTL_LD_TEMP_UNIT),
    dialog_template_detail::Make(PANEL_CTL_SLIDER),
    dialog_template_detail::Make(PANEL_CTL_STEP_DOWN),
    dialog_template_detail::Make(PANEL_CTL_STEP_UP),
    dialog_template_detail::Make(PANEL_CTL_POWER_LABEL),
    dialog_template_detail::Make(PANEL_CTL_POWER),
    dialog_template_detail::Make(PANEL_CTL_POWER_UNIT),
};

inline constexpr DialogUnitRect kPanelRect{PANEL_X, PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT};

#endif
