// The trend window on Windows: the readings over time as the core draws them, stroked with GDI,
// the span buttons, Newest and Record/Stop. A top-level window owned by the panel, outside the
// panel's own layout.
#ifndef DRIVERPANEL_HOSTS_WIN32_TREND_WINDOW_H
#define DRIVERPANEL_HOSTS_WIN32_TREND_WINDOW_H

#include <windows.h>

#include "trend/trend_view.h"

class Win32TrendHost;

class CTrendWindow {
  public:
    CTrendWindow(Win32TrendHost& host, HWND owner);
    ~CTrendWindow();
    CTrendWindow(const CTrendWindow&) = delete;
    CTrendWindow& operator=(const CTrendWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // Shows it restored and active, redrawn every reading period while shown.
    void Show();
    // Redraws the plot and the controls from the host's state.
    void Refresh();
    // A message of the program's loop: the window's keyboard navigation (Tab, the span buttons'
    // arrows, Escape to hide) for a message to it or one of its controls. True when taken.
    bool PreTranslate(MSG& message);

    // Draws the plot into `dc` over `area` (client coordinates of the plot).
    void PaintPlot(HDC dc, const RECT& area);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PlotProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPlotMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Layout();
    void Hide();
    void ScrollBy(double spans);
    void OnRecord();

    Win32TrendHost& host_;
    TrendView view_;
    HWND hwnd_ = nullptr;
    HWND plot_ = nullptr;
    HWND spans_[4] = {};
    HWND newest_ = nullptr;
    HWND record_ = nullptr;
    HWND status_ = nullptr;
    HFONT font_ = nullptr;
};

#endif
