#include "hosts/qt/trend_host.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QTextStream>
#include <memory>
#include <utility>

#include "hosts/qt/trend_window.h"
#include "panel/panel_logic.h"
#include "trend/csv_recorder.h"

std::int64_t QtWallClock::UtcMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

int QtWallClock::LocalOffsetMinutes(std::int64_t utcMs) {
    return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc() / 60;
}

TrendHost::TrendHost(PanelLogic& logic, QWidget* panel)
    : logic_(logic),
      panel_(panel),
      clock_([](int) {}),
      data_(clock_),
      recording_(feed_, wall_, [this](const std::string& message) {
          ReportProblem(QString::fromStdString(message));
      }) {
    logic_.AddListener(feed_);
}

TrendHost::~TrendHost() {
    delete window_;  // it draws from this host
    logic_.RemoveListener(feed_);
}

void TrendHost::ShowWindow() {
    if (!window_) {
        window_ = new CTrendWindow(*this, panel_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

CTrendWindow* TrendHost::Window() const {
    return window_;
}

// The recording in progress ends and its file is closed before the new one is opened: recording
// again to the same file empties it.
bool TrendHost::StartRecording(const QString& path) {
    StopRecording();
    auto sink = std::make_unique<FileRecordSink>();
    const QString shown = QDir::toNativeSeparators(path);
    if (!sink->Open(QFile::encodeName(path).toStdString())) {
        ReportProblem(QStringLiteral("Cannot record to %1: %2.")
                          .arg(shown, QString::fromLocal8Bit(sink->Error().c_str())));
        return false;
    }
    recordingPath_ = path;
    lastProblem_.clear();
    recording_.Start(std::move(sink), shown.toStdString());
    if (window_) {
        window_->Refresh();
    }
    return Recording();
}

void TrendHost::StopRecording() {
    recording_.Stop();
    if (window_) {
        window_->Refresh();
    }
}

void TrendHost::ReportProblem(const QString& text) {
    lastProblem_ = text;
    QTextStream(stderr) << "driverpanel: " << text << '\n';
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Recording"), text,
                                QMessageBox::Ok, window_ ? static_cast<QWidget*>(window_) : panel_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    if (window_) {
        window_->Refresh();
    }
}
