#include "hosts/win32/trend_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "hosts/win32/trend_host.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kWindowClass[] = L"DriverPanelTrend";
constexpr wchar_t kPlotClass[] = L"DriverPanelTrendPlot";
constexpr wchar_t kTitle[] = L"Readings over time";
constexpr wchar_t kRecordText[] = L"Record\u2026";
constexpr wchar_t kStopText[] = L"Stop";

// The readings arrive every 500 ms; the time axis moves with the clock in between.
constexpr UINT_PTR kRedrawTimer = 1;
constexpr UINT kRedrawPeriodMs = 500;
constexpr double kWheelSpans = 0.1;  // one notch
constexpr double kKeySpans = 0.5;

// The size it opens at, in pixels at 96 dots per inch.
constexpr int kOpenWidth = 760;
constexpr int kOpenHeight = 560;
constexpr int kBaseDpi = 96;

constexpr TrendSpan kSpans[] = {TrendSpan::OneMinute, TrendSpan::TenMinutes, TrendSpan::OneHour,
                                TrendSpan::All};
constexpr int kFirstSpanId = 100;
constexpr int kNewestId = 110;
constexpr int kRecordId = 111;

COLORREF InkColour(TrendInk ink) {
    if (const std::optional<std::uint32_t> rgb = SeriesRgb(ink)) {
        return RGB(*rgb >> 16 & 0xff, *rgb >> 8 & 0xff, *rgb & 0xff);
    }
    return GetSysColor(ink == TrendInk::Grid ? COLOR_3DLIGHT : COLOR_WINDOWTEXT);
}

void RegisterClasses(WNDPROC windowProc, WNDPROC plotProc) {
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSEXW window{};
    window.cbSize = sizeof(window);
    window.lpszClassName = kWindowClass;
    window.hInstance = GetModuleHandleW(nullptr);
    window.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window.hbrBackground = GetSysColorBrush(COLOR_3DFACE);
    window.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    window.lpfnWndProc = windowProc;
    RegisterClassExW(&window);
    WNDCLASSEXW plot = window;
    plot.lpszClassName = kPlotClass;
    plot.hbrBackground = nullptr;  // painted whole, through a bitmap: no flicker
    plot.hIcon = nullptr;
    plot.lpfnWndProc = plotProc;
    plot.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    RegisterClassExW(&plot);
    registered = true;
}

// Both procedures find their object from the creation parameter.
template <class Object>
Object* Bind(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object =
            static_cast<Object*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    return reinterpret_cast<Object*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

CTrendWindow::CTrendWindow(Win32TrendHost& host, HWND owner) : host_(host) {
    RegisterClasses(&CTrendWindow::WindowProc, &CTrendWindow::PlotProc);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::min<int>(MulDiv(kOpenWidth, dpi, kBaseDpi), work.right - work.left);
    const int height = std::min<int>(MulDiv(kOpenHeight, dpi, kBaseDpi), work.bottom - work.top);
    CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, kTitle,
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, width,
                    height, owner, nullptr, GetModuleHandleW(nullptr), this);
    CreateControls();
    Layout();
    Refresh();
}

CTrendWindow::~CTrendWindow() {
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kRedrawTimer);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        SetWindowLongPtrW(plot_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    DeleteObject(font_);
}

void CTrendWindow::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto button = [&](const wchar_t* text, DWORD style, int id) {
        HWND control = CreateWindowExW(
            0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 1, 1, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return control;
    };
    for (int i = 0; i < static_cast<int>(std::size(kSpans)); ++i) {
        const std::string name = SpanName(kSpans[i]);
        const DWORD group = i == 0 ? WS_GROUP : 0;
        spans_[i] = button(FromUtf8(name).c_str(), BS_AUTORADIOBUTTON | BS_PUSHLIKE | group,
                           kFirstSpanId + i);
    }
    newest_ = button(L"Newest", BS_PUSHBUTTON | WS_GROUP, kNewestId);
    record_ = button(kRecordText, BS_PUSHBUTTON | WS_GROUP, kRecordId);
    plot_ = CreateWindowExW(0, kPlotClass, kTitle, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP, 0,
                            0, 1, 1, hwnd_, nullptr, instance, this);
    status_ =
        CreateWindowExW(0, L"STATIC", L"",
                        WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
                        0, 0, 1, 1, hwnd_, nullptr, instance, nullptr);
    SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

// One row of buttons above the plot (the spans and Newest at the left, Record at the right), the
// status line under it; the plot takes the rest. Sizes follow the font.
void CTrendWindow::Layout() {
    if (status_ == nullptr) {
        return;  // still being created
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int text = metrics.tmHeight;
    const int margin = text * 2 / 3;
    const int buttonHeight = text * 7 / 4;
    const auto buttonWidth = [&](HWND control) {
        wchar_t label[64] = {};
        GetWindowTextW(control, label, static_cast<int>(std::size(label)));
        return std::max(TextWidth(dc, label), TextWidth(dc, kRecordText)) + text * 2;
    };
    int x = margin;
    for (HWND control : spans_) {
        const int w = buttonWidth(control);
        MoveWindow(control, x, margin, w, buttonHeight, TRUE);
        x += w;
    }
    x += margin;
    MoveWindow(newest_, x, margin, buttonWidth(newest_), buttonHeight, TRUE);
    const int recordWidth = buttonWidth(record_);
    MoveWindow(record_, client.right - margin - recordWidth, margin, recordWidth, buttonHeight,
               TRUE);
    const int plotTop = margin * 2 + buttonHeight;
    const int statusHeight = text + margin / 2;
    const int statusTop = client.bottom - margin - statusHeight;
    MoveWindow(plot_, margin, plotTop, std::max(1L, client.right - 2 * margin),
               std::max(1, statusTop - margin - plotTop), TRUE);
    MoveWindow(status_, margin, statusTop, std::max(1L, client.right - 2 * margin), statusHeight,
               TRUE);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
}

void CTrendWindow::Show() {
    if (IsIconic(hwnd_)) {
        ShowWindow(hwnd_, SW_RESTORE);
    } else {
        ShowWindow(hwnd_, SW_SHOW);
    }
    SetTimer(hwnd_, kRedrawTimer, kRedrawPeriodMs, nullptr);
    SetForegroundWindow(hwnd_);
    SetFocus(spans_[0]);
    Refresh();
}

void CTrendWindow::Hide() {
    KillTimer(hwnd_, kRedrawTimer);
    ShowWindow(hwnd_, SW_HIDE);
}

void CTrendWindow::Refresh() {
    for (int i = 0; i < static_cast<int>(std::size(kSpans)); ++i) {
        SendMessageW(spans_[i], BM_SETCHECK,
                     kSpans[i] == view_.Span() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    EnableWindow(newest_, view_.Following() ? FALSE : TRUE);
    SetWindowTextW(record_, host_.Recording() ? kStopText : kRecordText);
    const std::wstring status =
        host_.Recording() ? L"Recording to " + host_.RecordingPath() : host_.LastProblem();
    SetWindowTextW(status_, status.c_str());
    InvalidateRect(plot_, nullptr, FALSE);
}

bool CTrendWindow::PreTranslate(MSG& message) {
    if (message.hwnd == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    return IsDialogMessageW(hwnd_, &message) != FALSE;
}

void CTrendWindow::PaintPlot(HDC dc, const RECT& area) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    TrendNow now;
    now.monotonicMs = host_.Clock().NowMs();
    now.utcMs = host_.Wall().UtcMs();
    now.localOffsetMinutes = host_.Wall().LocalOffsetMinutes(now.utcMs);
    const TrendDrawing drawing =
        view_.Draw(host_.Data(),
                   TrendMetrics{area.right - area.left, area.bottom - area.top,
                                static_cast<int>(metrics.tmHeight), TextWidth(dc, L"0")},
                   now);

    std::vector<POINT> points;
    for (const TrendPolyline& line : drawing.lines) {
        if (line.points.empty()) {
            continue;
        }
        points.clear();
        for (const TrendPixel& p : line.points) {
            points.push_back(POINT{area.left + std::lround(p.x), area.top + std::lround(p.y)});
        }
        if (points.size() == 1) {  // a lone reading between two gaps still shows
            points.push_back(POINT{points[0].x + 1, points[0].y});
        }
        HPEN pen = CreatePen(PS_SOLID, 1, InkColour(line.ink));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        Polyline(dc, points.data(), static_cast<int>(points.size()));
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    SetBkMode(dc, TRANSPARENT);
    for (const TrendText& text : drawing.texts) {
        const std::wstring shown = FromUtf8(text.text);
        UINT align = TA_LEFT;
        if (text.align == TextAlign::Centre) {
            align = TA_CENTER;
        } else if (text.align == TextAlign::Right) {
            align = TA_RIGHT;
        }
        SetTextAlign(dc, align | TA_TOP | TA_NOUPDATECP);
        SetTextColor(dc, InkColour(text.ink));
        TextOutW(dc, area.left + static_cast<int>(std::lround(text.at.x)),
                 area.top + static_cast<int>(std::lround(text.at.y - metrics.tmHeight / 2.0)),
                 shown.c_str(), static_cast<int>(shown.size()));
    }
    SelectObject(dc, oldFont);
}

void CTrendWindow::ScrollBy(double spans) {
    view_.Scroll(spans, host_.Data(), host_.Clock().NowMs());
    Refresh();
}

void CTrendWindow::OnRecord() {
    if (host_.Recording()) {
        host_.StopRecording();
        return;
    }
    std::wstring path(32768, L'\0');  // room for a long path
    wcscpy(path.data(), L"readings.csv");
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = hwnd_;
    dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = L"Record readings to";
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (GetSaveFileNameW(&dialog)) {
        path.resize(wcslen(path.c_str()));
        host_.StartRecording(path);
    }
}

LRESULT CALLBACK CTrendWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = Bind<CTrendWindow>(hwnd, message, lParam);
    if (window == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCCREATE) {
        window->hwnd_ = hwnd;
    }
    return window->OnMessage(message, wParam, lParam);
}

LRESULT CTrendWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_TIMER:
            if (wParam == kRedrawTimer && status_ != nullptr) {
                Refresh();
                return 0;
            }
            break;
        case WM_CLOSE:  // kept, with its span and scrolling, for the next time it is shown
            Hide();
            return 0;
        case WM_MOUSEWHEEL:  // over a button or the status line: the plot scrolls all the same
            return SendMessageW(plot_, message, wParam, lParam);
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED) {
                break;
            }
            if (id >= kFirstSpanId && id < kFirstSpanId + static_cast<int>(std::size(kSpans))) {
                view_.SetSpan(kSpans[id - kFirstSpanId]);
                Refresh();
            } else if (id == kNewestId) {
                view_.FollowNewest();
                Refresh();
            } else if (id == kRecordId) {
                OnRecord();
            } else if (id == IDCANCEL) {  // Escape
                Hide();
            }
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CTrendWindow::PlotProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = Bind<CTrendWindow>(hwnd, message, lParam);
    if (window == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCCREATE) {
        window->plot_ = hwnd;
    }
    return window->OnPlotMessage(message, wParam, lParam);
}

LRESULT CTrendWindow::OnPlotMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(plot_, &paint);
            RECT area;
            GetClientRect(plot_, &area);
            // Drawn into a bitmap first, then copied whole.
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap =
                CreateCompatibleBitmap(dc, std::max(1L, area.right), std::max(1L, area.bottom));
            HGDIOBJ old = SelectObject(memory, bitmap);
            PaintPlot(memory, area);
            if (GetFocus() == plot_) {
                DrawFocusRect(memory, &area);
            }
            BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(plot_, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(plot_, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(plot_);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_MOUSEWHEEL:
            ScrollBy(kWheelSpans * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
            return 0;
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_LEFT:
                case VK_PRIOR:
                    ScrollBy(-kKeySpans);
                    return 0;
                case VK_RIGHT:
                case VK_NEXT:
                    ScrollBy(kKeySpans);
                    return 0;
                case VK_END:
                    view_.FollowNewest();
                    Refresh();
                    return 0;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(plot_, message, wParam, lParam);
}
