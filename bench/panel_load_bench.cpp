// The Linux panel itself, opened on a port and left polling: the share of one core it uses and
// its peak resident memory. It is the program's own application object and panel; this driver
// only picks the port, clicks OpenPort as the operator would, and closes the panel at the end.
// Usage: panel_load_bench SECONDS PORT_NAME   (PORT_NAME as the port list shows it, e.g. sim0)
#include <sys/resource.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/latency_stats.h"
#include "hosts/qt/driver_panel_app.h"
#include "hosts/qt/driver_panel_dlg.h"
#include "resources/resource.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

CDriverPanelDlg* FindPanel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* panel = qobject_cast<CDriverPanelDlg*>(widget)) {
            return panel;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SECONDS PORT_NAME\n", argv[0]);
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    const QString portName = QString::fromUtf8(argv[2]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    CDriverPanelApp app(argc, argv);

    bool opened = false;
    double cpuAtOpen = 0;
    double cpuAtEnd = 0;
    std::chrono::steady_clock::time_point openedAt, endedAt;
    QTimer::singleShot(0, &app, [&] {
        CDriverPanelDlg* panel = FindPanel();
        auto* list = panel ? qobject_cast<QComboBox*>(panel->Control(IDC_PORT_LIST)) : nullptr;
        auto* open =
            panel ? qobject_cast<QAbstractButton*>(panel->Control(IDC_OPEN_PORT)) : nullptr;
        const int item = list ? list->findText(portName) : -1;
        if (item < 0 || open == nullptr) {
            std::fprintf(stderr, "no port named %s in the panel's list\n", argv[2]);
            QApplication::exit(1);
            return;
        }
        list->setCurrentIndex(item);
        open->click();
        opened = true;
        cpuAtOpen = CpuSeconds();
        openedAt = std::chrono::steady_clock::now();
        QTimer::singleShot(seconds * 1000, panel, [&, panel] {
            cpuAtEnd = CpuSeconds();
            endedAt = std::chrono::steady_clock::now();
            panel->done(0);
        });
    });
    app.InitInstance();
    if (!opened) {
        return 1;
    }

    const double wall = std::chrono::duration<double>(endedAt - openedAt).count();
    PrintLoad();
    std::printf("panel polling for %.1f s\n", wall);
    std::printf("CPU: %.3f s, %.3f %% of one core\n", cpuAtEnd - cpuAtOpen,
                (cpuAtEnd - cpuAtOpen) / wall * 100.0);
    std::printf("peak resident memory: %.1f MB\n", PeakResidentMb());
    return 0;
}
