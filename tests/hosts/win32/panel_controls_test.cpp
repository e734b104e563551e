// The panel's own dialog template, shown, with its controls bound as the panel binds them: the
// slider and the port list take the mouse wheel only with the focus, and a stale reading shows
// greyed and unavailable to screen readers while keeping its text.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <functional>
#include <string>

#include "hosts/win32/focus_wheel_control.h"
#include "hosts/win32/modal_dialog.h"
#include "hosts/win32/win32_panel_window.h"
#include "resources/resource.h"

namespace {

constexpr UINT kRunChecks = WM_APP + 1;
constexpr UINT_PTR kProbeSubclassId = 99;

// Counts the wheel messages that get past the panel's own subclass, i.e. would reach the
// control's procedure. Installed first, so the panel's subclass runs before it.
LRESULT CALLBACK WheelProbe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR counter) {
    if (message == WM_MOUSEWHEEL) {
        ++*reinterpret_cast<int*>(counter);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The panel template run modally; the checks run once it is up, then it closes.
class TemplateDialog : public CModalDialog {
  public:
    explicit TemplateDialog(std::function<void(TemplateDialog&)> checks)
        : CModalDialog(IDD_PANEL_DIALOG, nullptr), checks_(std::move(checks)) {}

    CFocusWheelControl slider;
    CFocusWheelControl portList;
    int sliderWheels = 0;
    int portListWheels = 0;

  protected:
    BOOL OnInitDialog() override {
        // The combo box inside the extended combo box is what lies under the pointer.
        SetWindowSubclass(Control(IDC_SLIDER), WheelProbe, kProbeSubclassId,
                          reinterpret_cast<DWORD_PTR>(&sliderWheels));
        SetWindowSubclass(GetWindow(Control(IDC_PORT_LIST), GW_CHILD), WheelProbe, kProbeSubclassId,
                          reinterpret_cast<DWORD_PTR>(&portListWheels));
        slider.Bind(Handle(), IDC_SLIDER);
        portList.Bind(Handle(), IDC_PORT_LIST);
        PostMessageW(Handle(), kRunChecks, 0, 0);
        return TRUE;
    }
    bool PreTranslateMessage(const MSG&) override { return false; }
    HandlerResult OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message != kRunChecks) {
            return std::nullopt;
        }
        checks_(*this);
        EndModal(IDOK);
        return 0;
    }
    void BeforeDefaultProcessing(UINT, WPARAM, LPARAM) override {}

  private:
    std::function<void(TemplateDialog&)> checks_;
};

void RunWithTemplate(const std::function<void(TemplateDialog&)>& checks) {
    INITCOMMONCONTROLSEX classes{sizeof(classes),
                                 ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&classes);
    bool ran = false;
    TemplateDialog dialog([&](TemplateDialog& shown) {
        ran = true;
        checks(shown);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(ran);
}

struct WheelCase {
    const char* name;
    bool overSlider;  // else over the port list
    bool focusOnIt;   // else on the current field
};

class WheelFocus : public ::testing::TestWithParam<WheelCase> {};

TEST_P(WheelFocus, ReachesTheControlOnlyWithTheFocus) {
    const WheelCase& c = GetParam();
    RunWithTemplate([&](TemplateDialog& dialog) {
        const HWND target =
            c.overSlider ? dialog.slider.Handle() : GetWindow(dialog.portList.Handle(), GW_CHILD);
        const int& reached = c.overSlider ? dialog.sliderWheels : dialog.portListWheels;
        const HWND focus = c.focusOnIt ? target : dialog.Control(IDC_CURRENT);
        SetFocus(focus);
        ASSERT_EQ(GetFocus(), focus);
        const LRESULT position = SendMessageW(dialog.slider.Handle(), TBM_GETPOS, 0, 0);
        RECT rect;
        GetWindowRect(target, &rect);
        SendMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA),
                     MAKELPARAM(rect.left + 3, rect.top + 3));
        EXPECT_EQ(reached, c.focusOnIt ? 1 : 0);
        if (!c.focusOnIt) {
            EXPECT_EQ(SendMessageW(dialog.slider.Handle(), TBM_GETPOS, 0, 0), position);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Panel, WheelFocus,
                         ::testing::Values(WheelCase{"SliderFocused", true, true},
                                           WheelCase{"SliderUnfocused", true, false},
                                           WheelCase{"PortListFocused", false, true},
                                           WheelCase{"PortListUnfocused", false, false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// What a screen reader reads as the control's state; -1 when it cannot be read.
long AccessibleState(HWND control) {
    IAccessible* accessible = nullptr;
    // The interface's id from its declaration: the import library of oleacc also names
    // IID_IAccessible, as a thunk that the linker would take for the id.
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
        return -1;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT state;
    VariantInit(&state);
    const HRESULT result = accessible->get_accState(self, &state);
    accessible->Release();
    return SUCCEEDED(result) && state.vt == VT_I4 ? state.lVal : -1;
}

TEST(ReadingStale, GreysTheFieldKeepsItsTextAndTurnsNormalAgain) {
    CoInitialize(nullptr);
    RunWithTemplate([](TemplateDialog& dialog) {
        Win32PanelWindow window(dialog, dialog.slider, dialog.portList);
        for (int id : {IDC_LD_TEMP, IDC_POWER}) {
            SCOPED_TRACE(id);
            const HWND field = dialog.Control(id);
            window.SetControlText(id, "25.5");
            window.SetReadingStale(id, true);
            EXPECT_FALSE(IsWindowEnabled(field));
            EXPECT_EQ(window.ControlText(id), "25.5");
            const long stale = AccessibleState(field);
            ASSERT_NE(stale, -1);
            EXPECT_NE(stale & STATE_SYSTEM_UNAVAILABLE, 0);
            window.SetReadingStale(id, false);
            EXPECT_TRUE(IsWindowEnabled(field));
            EXPECT_EQ(AccessibleState(field) & STATE_SYSTEM_UNAVAILABLE, 0);
        }
    });
    CoUninitialize();
}

// A reply rewrites the focused, unedited current field: an operator's Ctrl+A must survive it, so
// the first digit typed replaces the value; the same value written again moves nothing.
struct RewriteCase {
    const char* name;
    const char* written;
    DWORD selStart, selEnd;  // before the rewrite
    DWORD wantStart, wantEnd;
};

class CurrentFieldRewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(CurrentFieldRewrite, KeepsSelectAllAndTheCaretOfAnUnchangedText) {
    const RewriteCase& c = GetParam();
    RunWithTemplate([&](TemplateDialog& dialog) {
        Win32PanelWindow window(dialog, dialog.slider, dialog.portList);
        const HWND field = dialog.Control(IDC_CURRENT);
        window.SetControlText(IDC_CURRENT, "100");
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, c.selStart, c.selEnd);
        window.SetControlText(IDC_CURRENT, c.written);
        DWORD start = 0;
        DWORD end = 0;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(window.ControlText(IDC_CURRENT), c.written);
        EXPECT_EQ(start, c.wantStart);
        EXPECT_EQ(end, c.wantEnd);
        EXPECT_FALSE(window.IsEditingCurrent());
    });
}

INSTANTIATE_TEST_SUITE_P(Panel, CurrentFieldRewrite,
                         ::testing::Values(RewriteCase{"AllSelected", "300", 0, 3, 0, 3},
                                           RewriteCase{"AllSelectedLonger", "1000", 0, 3, 0, 4},
                                           RewriteCase{"SameTextKeepsCaret", "100", 2, 2, 2, 2}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
