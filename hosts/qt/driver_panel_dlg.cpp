// The panel dialog: its controls from the template, its message table, and the window services
// the panel's logic uses.
#include "hosts/qt/driver_panel_dlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "hosts/qt/accessible_names.h"
#include "hosts/qt/dialog_template.h"
#include "hosts/qt/message_boxes.h"
#include "hosts/qt/number_edit.h"
#include "hosts/qt/panel_font.h"
#include "hosts/qt/port_list.h"
#include "hosts/qt/tick_slider.h"
#include "hosts/qt/trend_host.h"

namespace {

// Message table: which of the logic's handlers a button's click runs.
struct CommandEntry {
    int controlId;
    void (PanelLogic::*handler)();
};
constexpr CommandEntry kCommandTable[] = {
    {IDC_OPEN_PORT, &PanelLogic::OnOpenClose},
    {IDC_SET, &PanelLogic::Apply},
    {IDC_STEP_DOWN, &PanelLogic::StepDown},
    {IDC_STEP_UP, &PanelLogic::StepUp},
};

// The single line of digits sits this much lower in the current field than by default.
constexpr int kCurrentTextDrop = 4;

const QString kIconPath = QStringLiteral(":/driverpanel.ico");

QString FromTemplate(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A control whose text does not say what it does has a name of its own; one without a text is
// named after the label on its left, as a screen reader pairs them: the nearest label ending in
// ':' whose line overlaps the control's.
QString AccessibleNameOf(const ControlTemplate& control) {
    for (const AccessibleName& given : kAccessibleNames) {
        if (given.controlId == control.id) {
            return FromTemplate(given.name);
        }
    }
    if (!control.text.empty()) {
        return FromTemplate(control.text);
    }
    const ControlTemplate* label = nullptr;
    for (const ControlTemplate& other : kPanelControls) {
        const DialogUnitRect& r = other.rect;
        const bool isLabel = other.className == kStaticClass && other.text.ends_with(':');
        const bool onTheLeft = r.x + r.width <= control.rect.x;
        const bool sameLine =
            r.y < control.rect.y + control.rect.height && control.rect.y < r.y + r.height;
        if (isLabel && onTheLeft && sameLine && (label == nullptr || r.x > label->rect.x)) {
            label = &other;
        }
    }
    if (label == nullptr) {
        return QString();
    }
    QString name = FromTemplate(label->text);
    name.chop(1);
    return name;
}

}  // namespace

CDriverPanelDlg::CDriverPanelDlg(PanelHost& host)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      host_(host),
      timers_([this](int timerId) { logic_.OnTimer(timerId); }),
      logic_(host.state, *this, timers_, host.port, host.registry),
      preTranslation_(*this, [this](const InputMessage& m) { return logic_.PreTranslate(m); }),
      hotPlug_(host.watcher.FileDescriptor(), QSocketNotifier::Read),
      baseUnits_{} {
    setFont(PanelFont());
    baseUnits_ = BaseUnitsOf(font());
    setWindowTitle(QStringLiteral(PANEL_CAPTION));
    setFixedSize(ToPixels(kPanelRect.width, kPanelRect.height, baseUnits_));
    CreateControls();

    host_.owner.Attach(PanelPortOwner::Handlers{
        .byte =
            [this](std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) {
                logic_.OnPortByte(byte, portNumber, receivedAtMs);
            },
        .lost = [this](int) { logic_.OnPortHangUp(); },
    });
    connect(&hotPlug_, &QSocketNotifier::activated, this, &CDriverPanelDlg::OnHotPlug);
    qApp->installEventFilter(&preTranslation_);
    OnInitDialog();

    // The trend window is reached without a control in the panel's layout: Ctrl+T, and the
    // panel's context menu.
    trend_ = std::make_unique<TrendHost>(logic_, this);
    auto* showTrend = new QAction(QStringLiteral("Readings over time\u2026"), this);
    showTrend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    showTrend->setShortcutContext(Qt::WindowShortcut);
    connect(showTrend, &QAction::triggered, this, [this] { trend_->ShowWindow(); });
    addAction(showTrend);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

CDriverPanelDlg::~CDriverPanelDlg() {
    // The port outlives the panel: from here on nothing may reach the panel.
    host_.owner.Detach();
}

bool CDriverPanelDlg::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) {
        logic_.OnDeactivate();
    }
    return QDialog::event(event);
}

void CDriverPanelDlg::OnHotPlug() {
    if (host_.watcher.DrainEvents()) {
        logic_.OnDeviceChange();
    }
}

QWidget* CDriverPanelDlg::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

void CDriverPanelDlg::CreateControls() {
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& t : kPanelControls) {
        const QString text = FromTemplate(t.text);
        const bool centred = (t.style & kStyleCentered) != 0;
        QWidget* widget = nullptr;
        if (t.className == kButtonClass) {
            auto* button = new QPushButton(text, this);
            // Enter must never click a button: no button is the default.
            button->setAutoDefault(false);
            button->setDefault(false);
            connect(button, &QAbstractButton::clicked, this, [this, id = t.id] { OnCommand(id); });
            widget = button;
        } else if (t.className == kComboBoxExClass) {
            portList_ = new CPortList(this);
            widget = portList_;
        } else if (t.className == kEditClass) {
            current_ = new CNumberEdit(this);
            current_->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            widget = current_;
        } else if (t.className == kTrackbarClass) {
            slider_ = new CTickSlider(this);
            widget = slider_;
        } else {
            auto* label = new QLabel(text, this);
            label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            if ((t.style & kStyleBorder) != 0) {
                label->setFrameShape(QFrame::Box);
            }
            widget = label;
        }

        widget->setProperty(kControlIdProperty, t.id);
        widget->setAccessibleName(AccessibleNameOf(t));
        QRect geometry = ToPixels(t.rect, baseUnits_);
        if (widget == portList_) {
            // The template's height is the dropped-down list's; the closed box is one line.
            const int lineHeight = portList_->sizeHint().height();
            portList_->setMaxVisibleItems(qMax(1, (geometry.height() - lineHeight) / lineHeight));
            geometry.setHeight(lineHeight);
        }
        widget->setGeometry(geometry);

        if ((t.style & kStyleTabStop) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (t.id != IDC_STATIC) {
            controls_[t.id] = widget;
        }
    }
}

void CDriverPanelDlg::OnInitDialog() {
    Q_INIT_RESOURCE(driverpanel);  // the icon lives in this library's resources
    setWindowIcon(QIcon(kIconPath));
    logic_.OnInitDialog();
    current_->setTextMargins(0, kCurrentTextDrop, 0, 0);
}

void CDriverPanelDlg::OnCommand(int controlId) {
    for (const CommandEntry& entry : kCommandTable) {
        if (entry.controlId == controlId) {
            (logic_.*entry.handler)();
            return;
        }
    }
}

void CDriverPanelDlg::SetControlText(int controlId, const std::string& text) {
    QWidget* widget = Control(controlId);
    const QString value = QString::fromStdString(text);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // Selecting all is no edit, so a reply may rewrite the field between Ctrl+A and the
        // operator's first digit: that digit must replace the value written, not join what a
        // Backspace leaves of it. The selection would otherwise go with the old text.
        const bool allSelected = edit->hasSelectedText() && edit->selectedText() == edit->text();
        edit->setText(value);
        if (allSelected) {
            edit->selectAll();
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    }
}

std::string CDriverPanelDlg::ControlText(int controlId) {
    QWidget* widget = Control(controlId);
    QString value;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        value = button->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        value = edit->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        value = label->text();
    }
    return value.toStdString();
}

void CDriverPanelDlg::EnableControl(int controlId, bool enabled) {
    if (QWidget* widget = Control(controlId)) {
        widget->setEnabled(enabled);
    }
}

void CDriverPanelDlg::SetSliderRange(int minimum, int maximum) {
    slider_->setRange(minimum, maximum);
}

void CDriverPanelDlg::ClearSliderTicks() {
    slider_->ClearTicks();
}

void CDriverPanelDlg::SetSliderTick(int position) {
    slider_->AddTick(position);
}

void CDriverPanelDlg::SetSliderPosition(int position) {
    slider_->setValue(position);
}

int CDriverPanelDlg::SliderPosition() {
    return slider_->value();
}

void CDriverPanelDlg::ResetPortList() {
    portList_->clear();
}

void CDriverPanelDlg::InsertPortItem(int index, const std::string& text) {
    portList_->insertItem(index, QString::fromStdString(text));
}

void CDriverPanelDlg::SelectPortItem(int index) {
    portList_->setCurrentIndex(index);
}

int CDriverPanelDlg::SelectedPortItem() {
    return portList_->currentIndex();
}

// Qt's own record of the buttons, kept from every mouse event it received, also from those it
// kept from the panel because a modal box was up.
bool CDriverPanelDlg::IsLeftButtonDown() {
    return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
}

// setText clears the line edit's modified flag and only the operator's edits set it, so it says
// exactly whether the text is the operator's or the panel's.
bool CDriverPanelDlg::IsEditingCurrent() {
    const auto* field = static_cast<QLineEdit*>(Control(IDC_CURRENT));
    return field->hasFocus() && field->isModified();
}

void CDriverPanelDlg::EndCurrentEdit() {
    static_cast<QLineEdit*>(Control(IDC_CURRENT))->setModified(false);
}

// A stale reading keeps its text, drawn in the colour of disabled text, and its description tells
// a screen reader. The label itself stays enabled: nothing about it is unavailable, and a
// disabled control would be announced as such rather than as stale.
void CDriverPanelDlg::SetReadingStale(int controlId, bool stale) {
    QWidget* reading = Control(controlId);
    if (reading == nullptr) {
        return;
    }
    if (stale) {
        QPalette greyed = palette();
        const QColor disabledText = greyed.color(QPalette::Disabled, QPalette::WindowText);
        greyed.setColor(QPalette::Active, QPalette::WindowText, disabledText);
        greyed.setColor(QPalette::Inactive, QPalette::WindowText, disabledText);
        reading->setPalette(greyed);
        reading->setAccessibleDescription(FromTemplate(kStaleReadingDescription));
    } else {
        reading->setPalette(QPalette());  // the panel's own again
        reading->setAccessibleDescription(QString());
    }
}

void CDriverPanelDlg::ShowWarning(const std::string& text, const std::string& title) {
    ShowWarningBox(this, text, title);
}
