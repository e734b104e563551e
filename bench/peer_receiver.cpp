// The peer receivers' program frame.
#include "bench/peer_receiver.h"

#include <unistd.h>

#include <QApplication>

int RunPeerReceiver(int argc, char** argv, const OpenPath& open) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    CLI::App cli("A peer receiver of the receive-path benchmark; peer_bench starts it.");
    std::string tty;
    PeerOptions options;
    cli.add_option("tty", tty, "the pty to read")->required();
    AddPeerOptions(cli, options);
    CLI11_PARSE(cli, argc, argv);

    // Qt takes its own options out of argv; the bench's are already read.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const PeerPlan plan(options);
    PeerRecorder recorder(plan, STDOUT_FILENO, [] { QCoreApplication::quit(); });
    std::unique_ptr<OpenedPath> path = open(tty, recorder);
    if (!path) {
        return 1;
    }
    const std::string ready = std::string(kReadyLine) + '\n';
    if (write(STDOUT_FILENO, ready.data(), ready.size()) != static_cast<ssize_t>(ready.size())) {
        return 1;
    }
    const int status = QApplication::exec();
    path.reset();
    recorder.Report();
    return status;
}
