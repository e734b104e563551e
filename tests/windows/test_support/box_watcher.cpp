// Finds "Application Error" boxes by their title, reads their text and closes them.
#include "tests/windows/test_support/box_watcher.h"

#include "serial/port_error.h"

namespace {

constexpr DWORD kPollMs = 5;
// The message box's text control.
constexpr int kBoxTextId = 0xFFFF;

std::string BoxText(HWND box) {
    char text[4096] = {};
    GetDlgItemTextA(box, kBoxTextId, text, sizeof text);
    return text;
}

}  // namespace

BoxWatcher::BoxWatcher() : thread_([this] { Watch(); }) {}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> BoxWatcher::Texts() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return texts_;
}

bool BoxWatcher::WaitForBoxes(std::size_t count, DWORD timeoutMs) const {
    return WaitFor(seen_, count, timeoutMs);
}

bool BoxWatcher::WaitForClosedBoxes(std::size_t count, DWORD timeoutMs) const {
    return WaitFor(closed_, count, timeoutMs);
}

bool BoxWatcher::WaitFor(const std::atomic<std::size_t>& counter, std::size_t count,
                         DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (counter < count) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

void BoxWatcher::Watch() {
    while (!stop_) {
        const HWND box = FindWindowA(nullptr, kApplicationErrorTitle);
        if (box == nullptr || !IsWindowVisible(box)) {
            Sleep(kPollMs);
            continue;
        }
        {
            std::lock_guard<std::mutex> guard(mutex_);
            texts_.push_back(BoxText(box));
        }
        ++seen_;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        while (!stop_ && IsWindow(box)) {
            Sleep(kPollMs);
        }
        ++closed_;
    }
}
