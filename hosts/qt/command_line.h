// The panel's command line: help and version, taken from Qt's own parser, and --record FILE.
#ifndef DRIVERPANEL_HOSTS_QT_COMMAND_LINE_H
#define DRIVERPANEL_HOSTS_QT_COMMAND_LINE_H

#include <QCoreApplication>
#include <QString>
#include <optional>

// True when the arguments ask only for help or the version. Such a run shows no window, so it
// is made on Qt's offscreen platform and works without a display (on a server, over ssh).
bool AsksOnlyForInformation(int argc, char** argv);

// Reads the arguments Qt has left in `app`. Help and version are printed to standard output and
// give 0; anything else of ours (an unknown option, a stray argument) gives a one-line usage on
// standard error and 2. Empty when the panel is to run; then `recordPath`, when given, gets the
// file of --record (empty without it).
std::optional<int> HandleCommandLine(const QCoreApplication& app, QString* recordPath = nullptr);

// The one-line usage on standard error after `problem`; the exit status for it.
int RejectCommandLine(const QString& problem);

#endif
