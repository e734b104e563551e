// The application object: builds the panel, runs it modally, and ends the program when the
// panel closes.
#ifndef DRIVERPANEL_HOSTS_QT_DRIVER_PANEL_APP_H
#define DRIVERPANEL_HOSTS_QT_DRIVER_PANEL_APP_H

#include <QApplication>
#include <QString>
#include <memory>

class PanelHost;

class CDriverPanelApp : public QApplication {
    Q_OBJECT

  public:
    CDriverPanelApp(int& argc, char** argv);
    ~CDriverPanelApp() override;

    // Runs the panel until it closes; the program's exit code.
    int InitInstance();

    // Records the readings to this file from the start (--record); empty: no recording.
    void RecordFromStart(const QString& path) { recordPath_ = path; }

  private:
    std::unique_ptr<PanelHost> host_;  // the program's port object and device state
    QString recordPath_;
};

#endif
