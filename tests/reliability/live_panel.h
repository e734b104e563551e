// The Linux panel as the program builds it (its host, its dialog, the real port object on
// its event loop), on a private virtual-port directory holding one link, "sim0", to a test's tty.
// Boxes are counted and dismissed as they appear, and helpers read the controls and the process's
// threads, descriptors and CPU time.
#ifndef DRIVERPANEL_TESTS_RELIABILITY_LIVE_PANEL_H
#define DRIVERPANEL_TESTS_RELIABILITY_LIVE_PANEL_H

#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "hosts/qt/driver_panel_dlg.h"
#include "hosts/qt/panel_host.h"
#include "panel/panel_texts.h"
#include "resources/resource.h"
#include "tests/serial/linux/temp_dir.h"

constexpr const char* kLinkName = "sim0";

// Every message box shown while it lives, dismissed with OK as soon as the event loop runs.
class BoxWatcher {
  public:
    BoxWatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { DismissVisible(); });
        timer_.start(100);
    }
    const std::vector<std::string>& Seen() const { return seen_; }

  private:
    void DismissVisible() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                seen_.push_back((box->windowTitle() + ": " + box->text()).toStdString());
                box->done(QMessageBox::Ok);
            }
        }
    }
    QTimer timer_;
    std::vector<std::string> seen_;
};

// Runs the UI thread's event loop until the condition holds or the generous bound passes.
inline bool RunUntil(const std::function<bool()>& condition,
                     std::chrono::seconds bound = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        // A nested loop that sleeps until an event or the next look, so waiting costs no CPU.
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs the event loop for the span, waking for nothing but the events themselves.
inline void RunFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

inline std::size_t CountEntries(const char* directory) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}
inline std::size_t ThreadCount() {
    return CountEntries("/proc/self/task");
}
inline std::size_t DescriptorCount() {
    return CountEntries("/proc/self/fd");
}

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Share of one core the whole process used while its event loop ran for the span.
inline double CpuShareOver(std::chrono::milliseconds span) {
    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunFor(span);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (CpuSeconds() - before) / wall;
}

class LivePanel {
  public:
    // Links sim0 to the tty, in a directory of this user's own, then builds the panel.
    explicit LivePanel(const std::string& ttyPath)
        : linked_(Link(dir_, ttyPath)),
          host_([] { return std::vector<HardwarePort>{}; }, dir_.Path()),
          dialog_(host_) {}

    bool Linked() const { return linked_; }
    PanelHost& Host() { return host_; }
    const std::string& Directory() const { return dir_.Path(); }
    const BoxWatcher& Boxes() const { return boxes_; }

    QWidget* Control(int id) const { return dialog_.Control(id); }
    void Click(int id) { qobject_cast<QAbstractButton*>(Control(id))->click(); }
    std::string OpenButtonText() const {
        return qobject_cast<QAbstractButton*>(Control(IDC_OPEN_PORT))->text().toStdString();
    }
    std::string Text(int id) const {
        auto* label = qobject_cast<QLabel*>(Control(id));
        return label ? label->text().toStdString() : std::string();
    }
    std::vector<std::string> PortItems() const {
        auto* list = qobject_cast<QComboBox*>(Control(IDC_PORT_LIST));
        std::vector<std::string> items;
        for (int i = 0; i < list->count(); ++i) {
            items.push_back(list->itemText(i).toStdString());
        }
        return items;
    }
    bool Listed() const {
        const auto items = PortItems();
        return std::find(items.begin(), items.end(), kLinkName) != items.end();
    }
    bool ShowsOpen() const { return OpenButtonText() == kClosePortText; }
    bool ShowsClosed() const {
        return OpenButtonText() == kOpenPortText && Control(IDC_PORT_LIST)->isEnabled();
    }

    // Selects sim0 and clicks OpenPort, as the operator does.
    void Open() {
        auto* list = qobject_cast<QComboBox*>(Control(IDC_PORT_LIST));
        list->setCurrentIndex(list->findText(kLinkName));
        Click(IDC_OPEN_PORT);
    }

  private:
    static bool Link(const TempDir& dir, const std::string& ttyPath) {
        std::error_code error;
        std::filesystem::create_symlink(ttyPath, dir.Join(kLinkName), error);
        return !error;
    }

    TempDir dir_;
    bool linked_;
    PanelHost host_;
    CDriverPanelDlg dialog_;
    BoxWatcher boxes_;
};

#endif
