// The panel's command line.
#include "hosts/qt/command_line.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <cstdio>
#include <cstring>

#include "driverpanel_version.h"

namespace {

constexpr const char* kProgramName = "driverpanel";
constexpr const char* kDescription =
    "Control panel for a laser-diode driver module on a serial port: opens the port, shows the\n"
    "module's drive-current setpoint, sets it, and polls the diode temperature and the optical\n"
    "power.";
constexpr const char* kRecordOption = "record";
constexpr int kUsageStatus = 2;
// The words Qt's parser gives to its help and version options.
constexpr const char* kInformationWords[] = {"-h", "--help", "-?", "--help-all", "-v", "--version"};

void DescribeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kRecordOption),
        QStringLiteral("Record the readings to <file> (CSV, one row per poll) from the start."),
        QStringLiteral("file")));
}

}  // namespace

bool AsksOnlyForInformation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* word : kInformationWords) {
            if (std::strcmp(argv[i], word) == 0) {
                return true;
            }
        }
    }
    return false;
}

std::optional<int> HandleCommandLine(const QCoreApplication& app, QString* recordPath) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kDriverPanelVersion));
    QCommandLineParser parser;
    DescribeOptions(parser);
    const QStringList arguments = app.arguments();
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString problem = parser.positionalArguments().isEmpty()
                                    ? parser.errorText()
                                    : QStringLiteral("unexpected argument '%1'.")
                                          .arg(parser.positionalArguments().constFirst());
        return RejectCommandLine(problem);
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
        parser.isSet(QStringLiteral("version"))) {
        // Qt's own output for these, which also lists Qt's options under --help-all; it ends
        // the program with status 0.
        parser.process(arguments);
    }
    if (recordPath != nullptr) {
        *recordPath = parser.value(QString::fromLatin1(kRecordOption));
    }
    return std::nullopt;
}

int RejectCommandLine(const QString& problem) {
    QTextStream(stderr) << kProgramName << ": " << problem << " Usage: " << kProgramName
                        << " [--record FILE] [--help | --help-all | --version] [Qt options]\n";
    return kUsageStatus;
}
