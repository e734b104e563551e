// Stop signals through signalfd.
#include "hosts/console/linux/stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);  // the terminal or the ssh session went away
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
        throw std::system_error(error, std::system_category(), "pthread_sigmask");
    }
    signal(SIGPIPE, SIG_IGN);
    fd_ = UniqueFd(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!fd_.Valid()) {
        throw std::system_error(errno, std::system_category(), "signalfd");
    }
}

int StopSignals::Take() {
    signalfd_siginfo info{};
    if (read(fd_.Get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}
