// The panel program's command line, run as a process: help and version without a display, Qt's
// own options still taken, and anything else refused with a one-line usage and status 2.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "driverpanel_version.h"

namespace {

struct PanelRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs the panel with no display at all, so a run that tried to show the panel would fail. The
// refusals are checked on the offscreen platform, where a wrongly started panel would simply run
// (and time out here) instead; its port directory is a private one.
PanelRun RunPanel(const QStringList& arguments, bool offscreen) {
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (offscreen) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("DRIVERPANEL_PORTS"), runtime.filePath("ports"));
    // Qt keeps some allocations until exit; whether they are freed is not what is tested here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    QProcess panel;
    panel.setProcessEnvironment(environment);
    panel.start(QStringLiteral(DRIVERPANEL_PANEL_PATH), arguments);
    PanelRun run;
    if (!panel.waitForFinished(30000)) {
        panel.kill();
        panel.waitForFinished();
        return run;
    }
    run.status = panel.exitStatus() == QProcess::NormalExit ? panel.exitCode() : -1;
    run.out = QString::fromUtf8(panel.readAllStandardOutput());
    run.err = QString::fromUtf8(panel.readAllStandardError());
    return run;
}

struct InformationCase {
    QStringList arguments;
    QString expectedInOutput;
};

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
    const QString version = QStringLiteral("driverpanel %1\n").arg(kDriverPanelVersion);
    const InformationCase cases[] = {
        {{"--version"}, version},
        {{"-v"}, version},
        // A Qt option before ours is still taken by Qt.
        {{"-style", "fusion", "--version"}, version},
        {{"--help"}, "--version"},
        {{"-h"}, "laser-diode driver module"},
        {{"--help-all"}, "-platform"},
    };
    for (const InformationCase& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const PanelRun run = RunPanel(c.arguments, false);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.expectedInOutput)) << run.out.toStdString();
        if (c.expectedInOutput == version) {
            EXPECT_EQ(run.out, version);
        }
    }
}

TEST(CommandLine, AnythingElseGetsOneLineOfUsageAndStatus2) {
    const QStringList cases[] = {
        {"--bogus"},
        {"-x"},
        {"COM3"},
        {"--version", "extra"},
        {"-style", "fusion", "--current=100"},
        {"--record"},  // without its file
        // Qt takes "--version" as the style's name: nothing is left to show, and no hidden
        // panel may start instead.
        {"-style", "--version"},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const PanelRun run = RunPanel(arguments, true);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        // Qt may warn about its own options first; ours is one line, the last.
        const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.filter("Usage:").size(), 1) << run.err.toStdString();
        EXPECT_TRUE(lines.last().startsWith("driverpanel: ")) << run.err.toStdString();
        EXPECT_TRUE(lines.last().contains("Usage: driverpanel ")) << run.err.toStdString();
    }
}

}  // namespace
