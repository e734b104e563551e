// What the panel's logic needs from its window: control texts and enabling, the slider, the port
// list and the "Warning!" box. The Qt and Win32 windows implement it; unit tests fake it.
#ifndef DRIVERPANEL_PANEL_PANEL_WINDOW_H
#define DRIVERPANEL_PANEL_PANEL_WINDOW_H

#include <string>

class PanelWindow {
  public:
    virtual ~PanelWindow() = default;

    // Texts are bytes as the control holds them (ASCII for everything the logic writes).
    virtual void SetControlText(int controlId, const std::string& text) = 0;
    virtual std::string ControlText(int controlId) = 0;
    virtual void EnableControl(int controlId, bool enabled) = 0;

    // The slider IDC_SLIDER. A position outside the range shows as the nearest end, and
    // SliderPosition reports what is shown.
    virtual void SetSliderRange(int minimum, int maximum) = 0;  // without redrawing
    virtual void ClearSliderTicks() = 0;
    virtual void SetSliderTick(int position) = 0;
    virtual void SetSliderPosition(int position) = 0;
    virtual int SliderPosition() = 0;

    // The port list IDC_PORT_LIST: items keep their insertion order, never sorted.
    virtual void ResetPortList() = 0;
    virtual void InsertPortItem(int index, const std::string& text) = 0;
    virtual void SelectPortItem(int index) = 0;
    virtual int SelectedPortItem() = 0;  // -1 when nothing is selected

    // Whether the left mouse button is down, as the window system last saw it for the panel's
    // input, including a release the panel's own controls never received (one that came while a
    // box was up).
    virtual bool IsLeftButtonDown() = 0;

    // Whether the operator is editing the current field IDC_CURRENT: it has the keyboard focus
    // and its text was changed by the operator since the panel last wrote it or applied it. While
    // so, replies leave the field's text alone, so typed digits never join a value written under
    // the caret.
    virtual bool IsEditingCurrent() = 0;
    // The typed value was applied: the field's text no longer counts as an edit in progress.
    virtual void EndCurrentEdit() = 0;

    // A reading field (IDC_LD_TEMP, IDC_POWER) shows whether its text is still fresh: a stale one
    // keeps its last text but shows greyed, and says so to a screen reader.
    virtual void SetReadingStale(int controlId, bool stale) = 0;

    // Modal box owned by the panel: only an OK button, no icon. Returns when it is dismissed.
    virtual void ShowWarning(const std::string& text, const std::string& title) = 0;
};

#endif
