// Modal message boxes on QMessageBox.
#include "hosts/qt/message_boxes.h"

#include <QMessageBox>
#include <QString>

#include "serial/port_error.h"

void ShowApplicationErrorBox(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationErrorTitle),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

void ShowWarningBox(QWidget* owner, const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, owner);
    box.exec();
}
