// Runs ldctl as a real process with its standard input, output and error on pipes: started,
// optionally read line by line while it runs, signalled, and waited for with a generous bound.
#ifndef DRIVERPANEL_TESTS_HOSTS_CONSOLE_LDCTL_RUN_H
#define DRIVERPANEL_TESTS_HOSTS_CONSOLE_LDCTL_RUN_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct LdctlResult {
    int status = -1;  // the exit status; -1 when it did not exit by itself in time (then killed)
    std::string out;
    std::string err;
};

class LdctlProcess {
  public:
    struct Options {
        std::vector<std::string> args;
        std::string portsDirectory;  // DRIVERPANEL_PORTS for the process
        std::string input;           // written to its standard input, which is then closed
        bool asNobody = false;       // drop root to nobody before exec
        std::string outputPath;      // standard output to this file instead of a pipe
        bool keepInputOpen = false;  // standard input stays open for WriteInput
    };

    explicit LdctlProcess(const Options& options);
    ~LdctlProcess();
    LdctlProcess(const LdctlProcess&) = delete;
    LdctlProcess& operator=(const LdctlProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Reads standard output until it holds `lines` whole lines or the bound passes.
    bool WaitForLines(std::size_t lines, std::chrono::seconds bound = std::chrono::seconds(20));
    void Signal(int signal);
    // With keepInputOpen: more for its standard input, and its end.
    bool WriteInput(const std::string& text);
    void CloseInput();
    // Waits for the exit, reading both outputs to their end; kills it after the bound.
    LdctlResult Finish(std::chrono::seconds bound = std::chrono::seconds(30));

    // Exit status 77 from the child: it could not drop to nobody.
    static constexpr int kCouldNotDropRoot = 77;

  private:
    bool ReadSome(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    LdctlResult result_;
};

// Start, then Finish.
LdctlResult RunLdctl(const LdctlProcess::Options& options);

#endif
