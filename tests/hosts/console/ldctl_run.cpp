// ldctl as a child process on pipes.
#include "tests/hosts/console/ldctl_run.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

LdctlProcess::LdctlProcess(const Options& options) {
    std::vector<std::string> args = options.args;
    args.insert(args.begin(), DRIVERPANEL_LDCTL_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DRIVERPANEL_PORTS=", 18) != 0) {
            environment.emplace_back(*e);
        }
    }
    environment.push_back("DRIVERPANEL_PORTS=" + options.portsDirectory);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return;
    }
    const bool dropRoot = options.asNobody && geteuid() == 0;
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        dup2(in[0], STDIN_FILENO);
        if (options.outputPath.empty()) {
            dup2(out[1], STDOUT_FILENO);
        } else if (const int file = open(options.outputPath.c_str(), O_WRONLY); file >= 0) {
            dup2(file, STDOUT_FILENO);
        } else {
            _exit(127);
        }
        dup2(err[1], STDERR_FILENO);
        if (dropRoot &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(kCouldNotDropRoot);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    if (!options.outputPath.empty()) {
        close(out_);
        out_ = -1;
    }
    err_ = err[0];
    signal(SIGPIPE, SIG_IGN);
    in_ = in[1];
    WriteInput(options.input);
    if (!options.keepInputOpen) {
        CloseInput();
    }
}

bool LdctlProcess::WriteInput(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = write(in_, text.data() + done, text.size() - done);
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

void LdctlProcess::CloseInput() {
    if (in_ >= 0) {
        close(in_);
        in_ = -1;
    }
}

LdctlProcess::~LdctlProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

// Reads what is waiting on either pipe, waiting up to timeoutMs for something; false once both
// pipes are at their end.
bool LdctlProcess::ReadSome(int timeoutMs) {
    pollfd waits[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) {
        return false;
    }
    if (poll(waits, 2, timeoutMs) <= 0) {
        return true;
    }
    int* fds[] = {&out_, &err_};
    std::string* into[] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
        if (waits[i].revents == 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t got = read(*fds[i], chunk, sizeof chunk);
        if (got > 0) {
            into[i]->append(chunk, static_cast<std::size_t>(got));
        } else {
            close(*fds[i]);
            *fds[i] = -1;
        }
    }
    return true;
}

bool LdctlProcess::WaitForLines(std::size_t lines, std::chrono::seconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (static_cast<std::size_t>(std::count(result_.out.begin(), result_.out.end(), '\n')) <
           lines) {
        if (std::chrono::steady_clock::now() > deadline || !ReadSome(100)) {
            return false;
        }
    }
    return true;
}

void LdctlProcess::Signal(int signal) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

LdctlResult LdctlProcess::Finish(std::chrono::seconds bound) {
    if (pid_ <= 0) {
        return result_;  // never started
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (ReadSome(100)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return result_;
        }
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
        result_.status = WEXITSTATUS(status);
    }
    pid_ = -1;
    return result_;
}

LdctlResult RunLdctl(const LdctlProcess::Options& options) {
    LdctlProcess process(options);
    return process.Finish();
}
