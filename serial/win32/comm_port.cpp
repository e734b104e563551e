// The port object's UI-thread side: opening, configuring, starting and stopping the worker,
// queuing frames and the "Application Error" box.
#include "serial/win32/comm_port.h"

#include <process.h>

#include <string>

#include "serial/port_error.h"
#include "serial/win32/com_device_name.h"
#include "serial/win32/lock_guard.h"

namespace {

// Upper bound of one wait in the stop loops. The loops also wake when the worker ends or sends
// the owner a message; the bound only keeps a missed wake-up from stalling them.
constexpr DWORD kStopPollMs = 10;

// Bound on the sent messages a stop answers after the worker has gone, so a sender that never
// stops cannot hold the stop.
constexpr int kSentMessagesTakenAtMost = 100;

// The event character registered with the driver.
constexpr char kEventCharacter = 'q';

constexpr DWORD kMillisecondsPerSecond = 1000;

// Seconds to milliseconds, held just below MAXDWORD: a larger argument must not wrap round to a
// short timeout, and MAXDWORD itself means "no wait" as a read interval.
DWORD SecondsToMilliseconds(DWORD seconds) {
    constexpr DWORD kLongest = MAXDWORD - 1;
    return seconds > kLongest / kMillisecondsPerSecond ? kLongest
                                                       : seconds * kMillisecondsPerSecond;
}

BYTE StopBitsFor(UINT selector) {
    switch (selector) {
        case 1:
            return ONE5STOPBITS;
        case 2:
            return TWOSTOPBITS;
        default:
            return ONESTOPBIT;
    }
}

BYTE ParityFor(char letter) {
    switch (letter) {
        case 'E':
            return EVENPARITY;
        case 'O':
            return ODDPARITY;
        case 'M':
            return MARKPARITY;
        case 'S':
            return SPACEPARITY;
        default:
            return NOPARITY;
    }
}

// Why CreateFile refused the port: it is not there, or another program holds it (a COM port
// opens once at a time, so a holder shows as access denied or a sharing violation).
OpenStatus OpenStatusOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return OpenStatus::Busy;
        default:
            return OpenStatus::Absent;
    }
}

// Resets an event kept from an earlier Setup, or creates it: manual-reset, unsignalled, unnamed.
void ResetOrCreate(HANDLE& event) {
    if (event != nullptr) {
        ResetEvent(event);
    } else {
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
}

void CloseIfCreated(HANDLE& event) {
    if (event != nullptr) {
        CloseHandle(event);
        event = nullptr;
    }
}

}  // namespace

CCommPort::CCommPort() {
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&queueLock_);
}

CCommPort::~CCommPort() {
    StopWorkerWithoutDispatching();
    ClosePort();
    CloseIfCreated(shutdownEvent_);
    CloseIfCreated(serialWait_.hEvent);
    CloseIfCreated(transfer_.hEvent);
    CloseIfCreated(writeEvent_);
    DeleteCriticalSection(&queueLock_);
    DeleteCriticalSection(&lock_);
}

OpenResult CCommPort::Setup(int portNumber, const LineSettings& settings) {
    // Setup only signals: callers stop a worker that may be inside a notification to them with
    // Shutdown first.
    StopWorkerWithoutDispatching();

    ResetOrCreate(serialWait_.hEvent);
    ResetOrCreate(writeEvent_);
    ResetOrCreate(shutdownEvent_);
    ResetOrCreate(transfer_.hEvent);
    events_[kShutdownIndex] = shutdownEvent_;
    events_[kSerialEventIndex] = serialWait_.hEvent;
    events_[kWriteIndex] = writeEvent_;

    owner_ = nextOwner_;
    {
        LockGuard queueGuard(queueLock_);
        writeQueue_.Reset(settings.writeBufferSize);
    }
    portNumber_ = static_cast<UINT>(portNumber);
    eventMask_ = settings.eventMask;

    LockGuard guard(lock_);
    ClosePort();

    const std::string deviceName = ComDeviceName(static_cast<int>(portNumber));
    portHandle_ = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (portHandle_ == INVALID_HANDLE_VALUE) {
        return OpenResult{OpenStatusOf(GetLastError()), {}, {}};
    }

    timeouts_.ReadIntervalTimeout = SecondsToMilliseconds(settings.readIntervalTimeout);
    timeouts_.ReadTotalTimeoutMultiplier =
        SecondsToMilliseconds(settings.readTotalTimeoutMultiplier);
    timeouts_.ReadTotalTimeoutConstant = SecondsToMilliseconds(settings.readTotalTimeoutConstant);
    timeouts_.WriteTotalTimeoutMultiplier =
        SecondsToMilliseconds(settings.writeTotalTimeoutMultiplier);
    timeouts_.WriteTotalTimeoutConstant = SecondsToMilliseconds(settings.writeTotalTimeoutConstant);

    if (const char* failedStep =
            Configure(settings.baudRate, settings.parity, settings.dataBits, settings.stopBits)) {
        // A half-configured port would be served with the driver's own line settings: the
        // operator hears of the failure once, and the port is not kept open.
        std::string systemText = ReportError(failedStep);
        ClosePort();
        return OpenResult{OpenStatus::Failed, failedStep, std::move(systemText)};
    }
    PurgeComm(portHandle_, kPurgeAll);
    return OpenResult::Ok();
}

const char* CCommPort::Configure(UINT baud, char parity, UINT dataBits, UINT stopBits) {
    if (!SetCommTimeouts(portHandle_, &timeouts_)) {
        return kOpSetCommTimeouts;
    }
    if (!SetCommMask(portHandle_, eventMask_)) {
        return kOpSetCommMask;
    }
    lineSettings_ = {};
    lineSettings_.DCBlength = sizeof(lineSettings_);
    if (!GetCommState(portHandle_, &lineSettings_)) {
        return kOpGetCommState;
    }
    lineSettings_.fRtsControl = RTS_CONTROL_ENABLE;
    lineSettings_.EvtChar = kEventCharacter;
    lineSettings_.BaudRate = baud;
    lineSettings_.Parity = ParityFor(parity);
    lineSettings_.ByteSize = static_cast<BYTE>(dataBits);
    lineSettings_.StopBits = StopBitsFor(stopBits);
    if (!SetCommState(portHandle_, &lineSettings_)) {
        return kOpSetCommState;
    }
    return nullptr;
}

bool CCommPort::StartWorker() {
    if (portHandle_ == INVALID_HANDLE_VALUE || workerAlive_.load() != 0) {
        return false;
    }
    // Alive from before the thread exists, so a Shutdown right after StartWorker waits for it.
    workerAlive_.store(1);
    const uintptr_t thread = _beginthreadex(nullptr, 0, PortWorkerProc, this, 0, nullptr);
    if (thread == 0) {
        workerAlive_.store(0);
        return false;
    }
    workerThread_ = reinterpret_cast<HANDLE>(thread);
    return true;
}

void CCommPort::Shutdown() {
    // Called from inside the owner's handler of a worker notification, the worker waits for that
    // very handler to return: answer it now, so the worker can go on to see the stop.
    if (InSendMessage() && workerAlive_.load() != 0) {
        SetEvent(shutdownEvent_);
        ReplyMessage(0);
    }
    while (workerAlive_.load() != 0) {
        SetEvent(shutdownEvent_);
        MSG message;
        if (PeekMessageA(&message, owner_, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        // Wakes when the worker ends or sends the owner a message (which PeekMessageA handles).
        MsgWaitForMultipleObjects(1, &workerThread_, FALSE, kStopPollMs, QS_ALLINPUT);
    }
    // Messages other threads sent the owner while it waited are answered now, all of them, not
    // one by one at later stops: the system's device-change notifications come this way, and a
    // storm of them must reach the panel while it is still handling the change they follow.
    for (int taken = 0; taken < kSentMessagesTakenAtMost &&
                        (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
         ++taken) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ReleaseWorkerThread();
    ClosePort();
    for (HANDLE event : {shutdownEvent_, serialWait_.hEvent, writeEvent_}) {
        if (event != nullptr) {
            ResetEvent(event);
        }
    }
}

bool CCommPort::StopUnlessReporting() {
    while (workerAlive_.load() != 0) {
        if (workerReporting_.load()) {
            return false;
        }
        SetEvent(shutdownEvent_);
        WaitForSingleObject(workerThread_, kStopPollMs);
    }
    ReleaseWorkerThread();
    ClosePort();
    return true;
}

void CCommPort::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    LockGuard queueGuard(queueLock_);
    if (writeQueue_.Push(bytes, count) && writeEvent_ != nullptr) {
        SetEvent(writeEvent_);
    }
}

std::string CCommPort::ReportError(const char* operation) {
    const DWORD errorCode = GetLastError();
    char* systemText = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&systemText), 0, nullptr);
    const std::string text = FormatPortError(operation, systemText != nullptr ? systemText : "",
                                             static_cast<int>(portNumber_));
    if (reporter_) {
        reporter_(text);
    } else {
        MessageBoxA(nullptr, text.c_str(), kApplicationErrorTitle, MB_ICONSTOP | MB_OK);
    }
    std::string kept = systemText != nullptr ? systemText : "";
    LocalFree(systemText);
    return kept;
}

void CCommPort::StopWorkerWithoutDispatching() {
    while (workerAlive_.load() != 0) {
        SetEvent(shutdownEvent_);
        WaitForSingleObject(workerThread_, kStopPollMs);
    }
    ReleaseWorkerThread();
}

void CCommPort::ReleaseWorkerThread() {
    if (workerThread_ != nullptr) {
        // The worker has cleared its flag and only has to return.
        WaitForSingleObject(workerThread_, INFINITE);
        CloseHandle(workerThread_);
        workerThread_ = nullptr;
    }
}

void CCommPort::ClosePort() {
    if (portHandle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(portHandle_);
        portHandle_ = INVALID_HANDLE_VALUE;
    }
}
