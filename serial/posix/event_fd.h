// An owned Linux eventfd: a counter one thread signals and another waits on or polls.
#ifndef DRIVERPANEL_SERIAL_POSIX_EVENT_FD_H
#define DRIVERPANEL_SERIAL_POSIX_EVENT_FD_H

class EventFd {
  public:
    enum class Mode { Blocking, NonBlocking };

    explicit EventFd(Mode mode);  // throws std::system_error when the system refuses one
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    int Fd() const { return fd_; }
    void Signal();
    // Takes the counter: true when it was signalled. Blocking mode waits for a signal first.
    bool Take();

  private:
    int fd_;
};

#endif
