#include "hosts/qt/trend_window.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "hosts/qt/trend_host.h"

namespace {

// The readings arrive every 500 ms; the time axis moves with the clock in between.
constexpr int kRedrawPeriodMs = 500;
constexpr double kWheelSpans = 0.1;  // one notch
constexpr double kKeySpans = 0.5;
constexpr int kWheelNotch = 120;

constexpr TrendSpan kSpans[] = {TrendSpan::OneMinute, TrendSpan::TenMinutes, TrendSpan::OneHour,
                                TrendSpan::All};

QColor InkColour(TrendInk ink, const QPalette& palette) {
    if (const std::optional<std::uint32_t> rgb = SeriesRgb(ink)) {
        return QColor(static_cast<QRgb>(*rgb));  // opaque: the alpha byte is ignored
    }
    return palette.color(ink == TrendInk::Grid ? QPalette::Midlight : QPalette::Text);
}

}  // namespace

CTrendPlot::CTrendPlot(TrendHost& host, TrendView& view, QWidget* parent)
    : QWidget(parent), host_(host), view_(view) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
    setAccessibleName(QStringLiteral("Readings over time"));
}

void CTrendPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics metrics(font());
    TrendNow now;
    now.monotonicMs = host_.Clock().NowMs();
    now.utcMs = host_.Wall().UtcMs();
    now.localOffsetMinutes = host_.Wall().LocalOffsetMinutes(now.utcMs);
    const TrendDrawing drawing =
        view_.Draw(host_.Data(),
                   TrendMetrics{width(), height(), metrics.height(),
                                metrics.horizontalAdvance(QLatin1Char('0'))},
                   now);
    QVector<QPointF> points;
    for (const TrendPolyline& line : drawing.lines) {
        points.clear();
        for (const TrendPixel& p : line.points) {
            points.append(QPointF(p.x, p.y));
        }
        painter.setPen(QPen(InkColour(line.ink, palette()), 1));
        painter.drawPolyline(points.constData(), static_cast<int>(points.size()));
    }
    for (const TrendText& text : drawing.texts) {
        const QString shown = QString::fromStdString(text.text);
        const int textWidth = metrics.horizontalAdvance(shown);
        double left = text.at.x;
        if (text.align == TextAlign::Centre) {
            left -= textWidth / 2.0;
        } else if (text.align == TextAlign::Right) {
            left -= textWidth;
        }
        painter.setPen(InkColour(text.ink, palette()));
        painter.drawText(
            QRectF(left, text.at.y - metrics.height() / 2.0, textWidth + 1, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
}

void CTrendPlot::ScrollBy(double spans) {
    view_.Scroll(spans, host_.Data(), host_.Clock().NowMs());
    emit Scrolled();
}

void CTrendPlot::wheelEvent(QWheelEvent* event) {
    const int delta =
        event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    ScrollBy(kWheelSpans * delta / kWheelNotch);
    event->accept();
}

void CTrendPlot::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_PageUp:
            ScrollBy(-kKeySpans);
            break;
        case Qt::Key_Right:
        case Qt::Key_PageDown:
            ScrollBy(kKeySpans);
            break;
        case Qt::Key_End:
            view_.FollowNewest();
            emit Scrolled();
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

CTrendWindow::CTrendWindow(TrendHost& host, QWidget* panel)
    : QWidget(panel, Qt::Window), host_(host) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Readings over time"));
    resize(760, 560);

    auto* controls = new QHBoxLayout;
    spans_ = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(std::size(kSpans)); ++i) {
        auto* button = new QPushButton(QString::fromLatin1(SpanName(kSpans[i])), this);
        button->setCheckable(true);
        button->setChecked(kSpans[i] == view_.Span());
        spans_->addButton(button, i);
        controls->addWidget(button);
    }
    newest_ = new QPushButton(QStringLiteral("Newest"), this);
    newest_->setToolTip(QStringLiteral("Follow the newest reading again (End)"));
    controls->addWidget(newest_);
    controls->addStretch();
    record_ = new QPushButton(QStringLiteral("Record\u2026"), this);
    controls->addWidget(record_);

    plot_ = new CTrendPlot(host_, view_, this);
    status_ = new QLabel(this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(plot_, 1);
    layout->addWidget(status_);

    connect(spans_, &QButtonGroup::idClicked, this, [this](int id) {
        view_.SetSpan(kSpans[id]);
        Refresh();
    });
    connect(newest_, &QPushButton::clicked, this, [this] {
        view_.FollowNewest();
        Refresh();
    });
    connect(record_, &QPushButton::clicked, this, &CTrendWindow::OnRecord);
    connect(plot_, &CTrendPlot::Scrolled, this, &CTrendWindow::Refresh);
    connect(&redraw_, &QTimer::timeout, this, &CTrendWindow::Refresh);
    redraw_.start(kRedrawPeriodMs);
    Refresh();
}

void CTrendWindow::Refresh() {
    newest_->setEnabled(!view_.Following());
    record_->setText(host_.Recording() ? QStringLiteral("Stop") : QStringLiteral("Record\u2026"));
    if (host_.Recording()) {
        status_->setText(
            QStringLiteral("Recording to %1").arg(QDir::toNativeSeparators(host_.RecordingPath())));
    } else {
        status_->setText(host_.LastProblem());
    }
    plot_->update();
}

void CTrendWindow::OnRecord() {
    if (host_.Recording()) {
        host_.StopRecording();
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record readings to"), QStringLiteral("readings.csv"),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty()) {
        host_.StartRecording(path);
    }
}
