// The port list: a drop-down list of the present ports whose accessible name says what it is for.
// Qt names a drop-down list after the item it shows on Linux; this one keeps its own name and
// gives the item it shows as its value, so a screen reader says "Serial port, ttyUSB0".
#ifndef DRIVERPANEL_HOSTS_QT_PORT_LIST_H
#define DRIVERPANEL_HOSTS_QT_PORT_LIST_H

#include <QComboBox>
#include <QWheelEvent>

class CPortList : public QComboBox {
    Q_OBJECT

  public:
    explicit CPortList(QWidget* parent = nullptr);

  protected:
    void wheelEvent(QWheelEvent* event) override;
};

#endif
