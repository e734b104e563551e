// The Windows port object: opens and configures one COM port, runs the worker thread that serves
// it with overlapped I/O, queues the frames to write, and reports failed port functions.
#ifndef DRIVERPANEL_SERIAL_WIN32_COMM_PORT_H
#define DRIVERPANEL_SERIAL_WIN32_COMM_PORT_H

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "serial/frame_queue.h"
#include "serial/line_settings.h"
#include "serial/port_service.h"

class CCommPort;

// The worker thread and its two halves (port_worker.cpp). ReceivePending and SendPending return
// false once the port has stopped answering (the device is gone); the worker then only waits for
// the stop.
unsigned __stdcall PortWorkerProc(void* port);
bool ReceivePending(CCommPort& port);
bool SendPending(CCommPort& port);

class CCommPort : public PortService {
  public:
    CCommPort();
    // Stops a worker by repeated signalling, closes the port and the events, frees the queue.
    ~CCommPort() override;

    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // The window the worker's notifications go to from the next Setup on.
    void SetOwner(HWND owner) { nextOwner_ = owner; }

    // How the "Application Error" box is shown, for a host without a window (a console): called
    // with the box's text on the thread that failed (the caller's in Setup, the worker's later),
    // in place of the message box. Such a report does not wait for an operator, so a worker that
    // has reported stops serving the port until it is stopped: a port that failed once would
    // otherwise fail again at once, report after report. Set while no worker runs.
    using ErrorReporter = std::function<void(const std::string& text)>;
    void SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

    // Opens "\\.\COMn" for overlapped I/O and configures it (the settings' timeouts are in
    // seconds). Absent or Busy, silently, when the port cannot be opened; Failed after one
    // "Application Error" box, with the port closed again, when a configuration step fails.
    OpenResult Setup(int portNumber, const LineSettings& settings) override;

    // Starts the worker for the port that Setup opened; false when no port is open or no thread
    // could be created.
    bool StartWorker() override;

    // Stops the worker, dispatching the owner window's messages meanwhile (the worker may be
    // waiting for the owner to handle a byte), then closes the port. The events stay for the
    // next Setup.
    void Shutdown() override;

    // For the program's end, once the panel has gone: stops the worker and closes the port, as
    // the destructor would, unless the worker is showing its "Application Error" box, which no
    // one may be left to dismiss. Then it returns false at once, with the worker and the port
    // left as they are: the caller ends the process, which takes the box and the port with it.
    bool StopUnlessReporting();

    // Hands a frame to the worker, which writes the queued frames one by one, in order.
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override;

    // Shows the "Application Error" box for the thread's last error code (or hands its text to
    // the reporter); returns the system's text of it.
    std::string ReportError(const char* operation);

  private:
    friend unsigned __stdcall PortWorkerProc(void* port);
    friend bool ReceivePending(CCommPort& port);
    friend bool SendPending(CCommPort& port);

    // Before the worker starts and after Setup: abort reads and writes, clear both queues. A
    // write purges nothing: what the module sent is read whatever is written meanwhile, and the
    // reply assembler resynchronises on the next header after stale bytes.
    static constexpr DWORD kPurgeAll =
        PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

    // Index of each event in events_: when several are signalled, the lowest index wins.
    enum EventIndex : DWORD { kShutdownIndex = 0, kSerialEventIndex = 1, kWriteIndex = 2 };

    // Worker thread: shows the box for a failed port function (errorCode is its last error) and
    // tells whether the port still answers a status query; false means the device is gone.
    bool ReportWorkerFailure(const char* operation, DWORD errorCode);

    // Worker thread: what the UI thread asks of the worker now, the stop before a frame to write.
    enum class Request { kNone, kStop, kWrite };
    Request NextRequest() const;

    // Worker thread: a serial event arrived; serves every class registered with the driver.
    bool HandleSerialEvent();

    void StopWorkerWithoutDispatching();
    void ReleaseWorkerThread();
    void ClosePort();
    // Applies the timeouts, event mask and line settings; names the failed step, or nullptr.
    const char* Configure(UINT baud, char parity, UINT dataBits, UINT stopBits);

    // UI thread only; the worker thread's handle, none when no worker was started.
    HANDLE workerThread_ = nullptr;
    // Serialises use of the port handle between Setup and the worker's reads and writes.
    CRITICAL_SECTION lock_;
    // Written by StartWorker (1) and by the worker as it leaves (0); polled by the stop loops.
    std::atomic<LONG> workerAlive_{0};
    // Set by the worker while its "Application Error" box is up; read by StopUnlessReporting.
    std::atomic<bool> workerReporting_{false};
    // Manual-reset; signalled to make the worker leave. Created by the first Setup.
    HANDLE shutdownEvent_ = nullptr;
    // Opened and closed only while no worker runs (Setup also holds lock_). The worker holds lock_
    // for each status query and read, and for each write.
    HANDLE portHandle_ = INVALID_HANDLE_VALUE;
    // Manual-reset; signalled while frames wait in writeQueue_.
    HANDLE writeEvent_ = nullptr;
    // Shutdown, serial event (the event of serialWait_), write: the worker waits on all three.
    // The handles are set by Setup while no worker runs.
    HANDLE events_[3] = {};
    // The overlapped serial-event wait. Worker only while it runs. The driver completes a pending
    // wait when the port closes, even after the worker has gone, so the record and the event
    // word it fills live here, not on the worker's stack.
    OVERLAPPED serialWait_ = {};
    DWORD serialEventWord_ = 0;
    // The overlapped record of reads and writes, worker only. Separate from serialWait_: a wait
    // that completes while a write is pending must not pass for the write's completion.
    OVERLAPPED transfer_ = {};
    // UI thread only (Setup).
    COMMTIMEOUTS timeouts_ = {};
    DCB lineSettings_ = {};
    // Written by Setup while no worker runs; read by the worker.
    HWND owner_ = nullptr;
    HWND nextOwner_ = nullptr;  // UI thread only
    ErrorReporter reporter_;    // set while no worker runs
    UINT portNumber_ = 0;
    DWORD eventMask_ = 0;
    // Guarded by queueLock_, never by lock_: queuing a frame must not wait for a write or for an
    // error box the worker shows while holding lock_.
    CRITICAL_SECTION queueLock_;
    FrameQueue writeQueue_;
};

#endif
