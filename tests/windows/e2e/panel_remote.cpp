// Input to the panel (posted messages, and the real mouse where the panel reads its button
// state) and reading its controls across processes.
#include "tests/windows/e2e/panel_remote.h"

#include <commctrl.h>

#include "resources/panel_template.h"
#include "resources/resource.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 30000;
constexpr LPARAM kInsideControl = MAKELPARAM(3, 3);  // client coordinates of a click

// A block of memory in the panel's process, for messages whose answer is written through a
// pointer that the system does not carry across processes.
class RemoteBlock {
  public:
    RemoteBlock(HANDLE process, SIZE_T size)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBlock() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    char* Address() const { return static_cast<char*>(address_); }
    bool Write(SIZE_T offset, const void* bytes, SIZE_T size) const {
        return WriteProcessMemory(process_, Address() + offset, bytes, size, nullptr) != FALSE;
    }
    bool Read(SIZE_T offset, void* bytes, SIZE_T size) const {
        return ReadProcessMemory(process_, Address() + offset, bytes, size, nullptr) != FALSE;
    }

  private:
    HANDLE process_;
    void* address_;
};

}  // namespace

HWND PanelRemote::FindPanel() {
    return FindWindowA(nullptr, PANEL_CAPTION);
}

PanelRemote::PanelRemote(HWND panel) : panel_(panel), process_(nullptr) {
    DWORD processId = 0;
    GetWindowThreadProcessId(panel, &processId);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
}

PanelRemote::~PanelRemote() {
    if (process_ != nullptr) {
        CloseHandle(process_);
    }
}

LRESULT PanelRemote::SendTo(int controlId, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Control(controlId), message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                        &result);
    return static_cast<LRESULT>(result);
}

std::string PanelRemote::Text(int controlId) const {
    char text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(Control(controlId), WM_GETTEXT, sizeof(text),
                        reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kAnswerTimeoutMs, &length);
    return std::string(text, length < sizeof(text) ? length : 0);
}

std::string PanelRemote::Utf8Text(HWND window) const {
    wchar_t text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, kAnswerTimeoutMs, &length);
    char utf8[1024] = {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8, sizeof(utf8),
                                    nullptr, nullptr);
    return std::string(utf8, static_cast<std::size_t>(bytes > 0 ? bytes : 0));
}

std::vector<HWND> PanelRemote::Controls() const {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(panel_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    return controls;
}

bool PanelRemote::IsEnabled(int controlId) const {
    return IsWindowEnabled(Control(controlId));
}

void PanelRemote::Click(int controlId) const {
    PostMessageW(Control(controlId), WM_LBUTTONDOWN, MK_LBUTTON, kInsideControl);
    PostMessageW(Control(controlId), WM_LBUTTONUP, 0, kInsideControl);
}

void PanelRemote::HoldLeftButton(int controlId) const {
    RECT rect;
    GetWindowRect(Control(controlId), &rect);
    // Absolute mouse coordinates run from 0 to 65535 across the primary screen.
    const auto normalised = [](LONG pixel, int metric) {
        return static_cast<LONG>(pixel * 65535 / (GetSystemMetrics(metric) - 1));
    };
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dx = normalised((rect.left + rect.right) / 2, SM_CXSCREEN);
    input[0].mi.dy = normalised((rect.top + rect.bottom) / 2, SM_CYSCREEN);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(2, input, sizeof(INPUT));
}

void PanelRemote::ClickWithMouse(int controlId) const {
    HoldLeftButton(controlId);
    ReleaseHeldLeftButton();
}

void PanelRemote::TypeKeys(const std::wstring& characters) {
    for (wchar_t character : characters) {
        INPUT input[2] = {};
        for (INPUT& key : input) {
            key.type = INPUT_KEYBOARD;
            key.ki.wScan = character;
            key.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

void PanelRemote::PressRealKey(WORD virtualKey, int times) {
    for (int i = 0; i < times; ++i) {
        INPUT input[2] = {};
        for (INPUT& key : input) {
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = virtualKey;
        }
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

void PanelRemote::ReleaseHeldLeftButton() const {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
}

void PanelRemote::Type(int controlId, const std::wstring& characters) const {
    for (wchar_t character : characters) {
        PostMessageW(Control(controlId), WM_CHAR, character, 1);
    }
}

void PanelRemote::PressKey(int controlId, WPARAM virtualKey) const {
    PostMessageW(Control(controlId), WM_KEYDOWN, virtualKey, 1);
}

void PanelRemote::ClearText(int controlId) const {
    SendTo(controlId, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

void PanelRemote::SetText(int controlId, const std::string& text) const {
    SendTo(controlId, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND PanelRemote::FindBox(const char* title) {
    constexpr char kDialogClass[] = "#32770";
    return FindWindowA(kDialogClass, title);
}

void PanelRemote::PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

int PanelRemote::SliderPosition() const {
    return static_cast<int>(SendTo(IDC_SLIDER, TBM_GETPOS, 0, 0));
}

int PanelRemote::SliderMaximum() const {
    return static_cast<int>(SendTo(IDC_SLIDER, TBM_GETRANGEMAX, 0, 0));
}

int PanelRemote::SliderTickCount() const {
    return static_cast<int>(SendTo(IDC_SLIDER, TBM_GETNUMTICS, 0, 0));
}

std::vector<std::string> PanelRemote::PortListItems() const {
    std::vector<std::string> items;
    int count = static_cast<int>(SendTo(IDC_PORT_LIST, CB_GETCOUNT, 0, 0));
    constexpr SIZE_T kTextSize = 64;
    RemoteBlock block(process_, sizeof(COMBOBOXEXITEMA) + kTextSize);
    if (block.Address() == nullptr) {
        return items;
    }
    for (int i = 0; i < count; ++i) {
        COMBOBOXEXITEMA item{};
        item.mask = CBEIF_TEXT;
        item.iItem = i;
        item.pszText = block.Address() + sizeof(COMBOBOXEXITEMA);
        item.cchTextMax = kTextSize;
        char text[kTextSize] = {};
        block.Write(0, &item, sizeof(item));
        block.Write(sizeof(item), text, sizeof(text));
        SendTo(IDC_PORT_LIST, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.Address()));
        block.Read(sizeof(item), text, sizeof(text) - 1);
        items.emplace_back(text);
    }
    return items;
}

int PanelRemote::SelectedPortItem() const {
    return static_cast<int>(SendTo(IDC_PORT_LIST, CB_GETCURSEL, 0, 0));
}

void PanelRemote::SelectPortItem(int index) const {
    SendTo(IDC_PORT_LIST, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool PanelRemote::SendDeviceChange() const {
    constexpr WPARAM kDevNodesChanged = 0x0007;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(panel_, WM_DEVICECHANGE, kDevNodesChanged, 0, SMTO_NORMAL,
                               kAnswerTimeoutMs, &result) != 0;
}

void PanelRemote::Close() const {
    PostMessageW(panel_, WM_CLOSE, 0, 0);
}
