// The panel: the modal dialog with the template's controls, which hands every event to the
// panel's logic and carries out what the logic asks of its window.
#ifndef DRIVERPANEL_HOSTS_QT_DRIVER_PANEL_DLG_H
#define DRIVERPANEL_HOSTS_QT_DRIVER_PANEL_DLG_H

#include <QDialog>
#include <QSocketNotifier>
#include <map>
#include <memory>

#include "hosts/qt/dialog_units.h"
#include "hosts/qt/panel_host.h"
#include "hosts/qt/pre_translation_filter.h"
#include "hosts/qt/qt_ui_timers.h"
#include "panel/panel_logic.h"
#include "panel/panel_window.h"

class CNumberEdit;
class CTickSlider;
class CPortList;
class TrendHost;

class CDriverPanelDlg : public QDialog, public PanelWindow {
    Q_OBJECT

  public:
    // Builds the panel and runs its initialisation. Received bytes, hang-ups and hot-plug
    // events reach it until it is destroyed.
    explicit CDriverPanelDlg(PanelHost& host);
    ~CDriverPanelDlg() override;

    QWidget* Control(int controlId) const;
    const QtUiTimers& Timers() const { return timers_; }
    // The readings over time and their recording (Ctrl+T, or the panel's context menu).
    TrendHost& Trend() { return *trend_; }

    // PanelWindow
    void SetControlText(int controlId, const std::string& text) override;
    std::string ControlText(int controlId) override;
    void EnableControl(int controlId, bool enabled) override;
    void SetSliderRange(int minimum, int maximum) override;
    void ClearSliderTicks() override;
    void SetSliderTick(int position) override;
    void SetSliderPosition(int position) override;
    int SliderPosition() override;
    void ResetPortList() override;
    void InsertPortItem(int index, const std::string& text) override;
    void SelectPortItem(int index) override;
    int SelectedPortItem() override;
    bool IsLeftButtonDown() override;
    bool IsEditingCurrent() override;
    void EndCurrentEdit() override;
    void SetReadingStale(int controlId, bool stale) override;
    void ShowWarning(const std::string& text, const std::string& title) override;

  protected:
    bool event(QEvent* event) override;  // the panel's activation

  private:
    void CreateControls();
    void OnInitDialog();
    void OnCommand(int controlId);  // a button's click, through the message table
    void OnHotPlug();

    PanelHost& host_;
    QtUiTimers timers_;
    PanelLogic logic_;
    PreTranslationFilter preTranslation_;
    QSocketNotifier hotPlug_;
    DialogBaseUnits baseUnits_;
    std::map<int, QWidget*> controls_;  // by id; owned by the dialog as Qt children
    CNumberEdit* current_ = nullptr;
    CTickSlider* slider_ = nullptr;
    CPortList* portList_ = nullptr;
    std::unique_ptr<TrendHost> trend_;  // listens to logic_ until destroyed, before it
};

#endif
