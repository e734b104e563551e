// The panel's slider and port list on the real common controls, created with the template's
// classes and styles: the module's whole 16-bit range, and items kept in insertion order.
#include "hosts/win32/win32_panel_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/hosts/win32/template_controls.h"

namespace {

// Only the slider and the port list are used here; they hang off a plain parent window.
class NoDialog : public CModalDialog {
  public:
    NoDialog() : CModalDialog(0, nullptr) {}

  protected:
    BOOL OnInitDialog() override { return TRUE; }
    bool PreTranslateMessage(const MSG&) override { return false; }
    HandlerResult OnMessage(UINT, WPARAM, LPARAM) override { return std::nullopt; }
    void BeforeDefaultProcessing(UINT, WPARAM, LPARAM) override {}
};

const TemplateControl& Described(int id) {
    for (const TemplateControl& control : kTemplateControls) {
        if (control.id == id) {
            return control;
        }
    }
    throw std::out_of_range("no such control");
}

class Win32PanelWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES | ICC_USEREX_CLASSES};
        InitCommonControlsEx(&classes);
        parent_ = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        for (int id : {IDC_SLIDER, IDC_PORT_LIST}) {
            const TemplateControl& control = Described(id);
            HWND created = CreateWindowExA(
                0, control.className, "", control.style & ~WS_VISIBLE, 0, 0, 300, 200, parent_,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
            ASSERT_NE(created, nullptr) << control.className << " error " << GetLastError();
        }
        slider_.Bind(parent_, IDC_SLIDER);
        portList_.Bind(parent_, IDC_PORT_LIST);
        ASSERT_NE(slider_.Handle(), nullptr);
        ASSERT_NE(portList_.Handle(), nullptr);
    }

    void TearDown() override { DestroyWindow(parent_); }

    HWND parent_ = nullptr;
    NoDialog dialog_;
    CControl slider_;
    CControl portList_;
    Win32PanelWindow window_{dialog_, slider_, portList_};
};

class SliderRange : public Win32PanelWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(SliderRange, HoldsEveryPositionUpToTheMaximum) {
    const int maximum = GetParam();
    window_.SetSliderRange(0, maximum);
    window_.ClearSliderTicks();
    for (int i = 1; i <= 9; ++i) {
        window_.SetSliderTick(i * maximum / 10);
    }
    window_.SetSliderPosition(maximum);
    EXPECT_EQ(window_.SliderPosition(), maximum);
    window_.SetSliderPosition(maximum / 2);
    EXPECT_EQ(window_.SliderPosition(), maximum / 2);
    window_.SetSliderPosition(maximum + 50);
    EXPECT_EQ(window_.SliderPosition(), maximum) << "a position above the range shows the end";
    EXPECT_EQ(slider_.Send(TBM_GETNUMTICS, 0, 0), 11) << "nine ticks between the two ends";
}

// Maxima above 32767 are where a range packed into 16-bit halves would break.
INSTANTIATE_TEST_SUITE_P(Maxima, SliderRange, ::testing::Values(15, 1000, 32767, 40000, 65535));

TEST_F(Win32PanelWindowTest, PortListKeepsInsertionOrderDespiteItsSortStyle) {
    EXPECT_EQ(window_.SelectedPortItem(), -1);
    window_.InsertPortItem(0, "COM9");
    window_.InsertPortItem(1, "COM10");
    window_.InsertPortItem(2, "COM2");
    window_.SelectPortItem(2);
    EXPECT_EQ(window_.SelectedPortItem(), 2);
    char text[16] = {};
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    for (const auto& [index, expected] : {std::pair{0, "COM9"}, {1, "COM10"}, {2, "COM2"}}) {
        item.iItem = index;
        SendMessageA(portList_.Handle(), CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, expected) << "item " << index;
    }
    window_.ResetPortList();
    EXPECT_EQ(portList_.Send(CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(window_.SelectedPortItem(), -1);
}

}  // namespace
