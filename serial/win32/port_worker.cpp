// The port worker thread: waits for the stop, a serial event or a frame to write; hands each
// received byte to the owner window and waits until it is handled; writes the queued frames.
#include <optional>

#include "protocol/frame.h"
#include "serial/line_settings.h"
#include "serial/port_error.h"
#include "serial/win32/comm_port.h"
#include "serial/win32/lock_guard.h"
#include "serial/win32/port_notifications.h"

namespace {

constexpr unsigned kWorkerExitCode = 100;

// The serial event classes other than received characters, in the order they are notified.
struct EventNotification {
    DWORD eventClass;
    UINT message;
};
constexpr EventNotification kEventNotifications[] = {
    {kEvCts, WM_PORT_CTS}, {kEvRxFlag, WM_PORT_RXFLAG}, {kEvBreak, WM_PORT_BREAK},
    {kEvErr, WM_PORT_ERR}, {kEvRing, WM_PORT_RING},
};

}  // namespace

unsigned __stdcall PortWorkerProc(void* argument) {
    CCommPort& port = *static_cast<CCommPort*>(argument);
    if (port.portHandle_ != INVALID_HANDLE_VALUE) {
        PurgeComm(port.portHandle_, CCommPort::kPurgeAll);
    }
    bool portAnswers = true;
    while (portAnswers) {
        if (WaitCommEvent(port.portHandle_, &port.serialEventWord_, &port.serialWait_)) {
            // Completed at once: the serial-event handle is already signalled, but only worth
            // waking for when bytes are waiting.
            DWORD errors = 0;
            COMSTAT status = {};
            if (!ClearCommError(port.portHandle_, &errors, &status)) {
                portAnswers = port.ReportWorkerFailure(kOpClearCommError, GetLastError());
                continue;
            }
            if (status.cbInQue == 0) {
                continue;
            }
        } else if (const DWORD code = GetLastError();
                   code != ERROR_IO_PENDING && code != ERROR_INVALID_PARAMETER) {
            // ERROR_INVALID_PARAMETER: the wait armed on an earlier pass is still pending.
            portAnswers = port.ReportWorkerFailure(kOpWaitCommEvent, code);
            if (!portAnswers) {
                break;
            }
        }
        switch (WaitForMultipleObjects(3, port.events_, FALSE, INFINITE)) {
            case WAIT_OBJECT_0 + CCommPort::kShutdownIndex:
                port.workerAlive_.store(0);
                return kWorkerExitCode;
            case WAIT_OBJECT_0 + CCommPort::kSerialEventIndex:
                portAnswers = port.HandleSerialEvent();
                // A port that keeps delivering answers every wait with a serial event, which
                // outranks the write event: a frame queued meanwhile goes out now.
                if (portAnswers && port.NextRequest() == CCommPort::Request::kWrite) {
                    portAnswers = SendPending(port);
                }
                break;
            case WAIT_OBJECT_0 + CCommPort::kWriteIndex:
                portAnswers = SendPending(port);
                break;
            default:
                break;
        }
    }
    // The device is gone and every call on it fails: the operator has been told once, and the
    // panel's close or device-change handling brings the stop.
    WaitForSingleObject(port.shutdownEvent_, INFINITE);
    port.workerAlive_.store(0);
    return kWorkerExitCode;
}

bool CCommPort::HandleSerialEvent() {
    // What the driver has registered, not the event word: every serial event serves each class.
    DWORD registered = 0;
    if (!GetCommMask(portHandle_, &registered)) {
        registered = eventMask_;
    }
    if ((registered & kEvRxChar) != 0 && !ReceivePending(*this)) {
        return false;
    }
    for (const EventNotification& notification : kEventNotifications) {
        if ((registered & notification.eventClass) != 0) {
            SendMessageA(owner_, notification.message, 0, portNumber_);
        }
    }
    return true;
}

bool ReceivePending(CCommPort& port) {
    // Bytes read since a frame was queued. The frame waits for at most one reply's worth, so a
    // line that never falls quiet still lets it out; what is left unread then stays in the
    // driver and is read after the write.
    std::size_t readWhileFrameWaits = 0;
    for (;;) {
        switch (port.NextRequest()) {
            case CCommPort::Request::kStop:
                return true;
            case CCommPort::Request::kWrite:
                if (readWhileFrameWaits++ == kMaxReplyBytes) {
                    return true;
                }
                break;
            case CCommPort::Request::kNone:
                break;
        }
        BYTE received = 0;
        bool haveByte = false;
        {
            LockGuard guard(port.lock_);
            DWORD errors = 0;
            COMSTAT status = {};
            if (!ClearCommError(port.portHandle_, &errors, &status)) {
                return port.ReportWorkerFailure(kOpClearCommError, GetLastError());
            }
            if (status.cbInQue == 0) {
                return true;
            }
            DWORD count = 0;
            if (ReadFile(port.portHandle_, &received, 1, &count, &port.transfer_)) {
                haveByte = count == 1;
            } else if (const DWORD code = GetLastError(); code != ERROR_IO_PENDING) {
                if (!port.ReportWorkerFailure(kOpReadFile, code)) {
                    return false;
                }
            } else if (GetOverlappedResult(port.portHandle_, &port.transfer_, &count, TRUE)) {
                haveByte = count == 1;
            } else if (!port.ReportWorkerFailure(kOpReadResult, GetLastError())) {
                return false;
            }
        }
        // A failed read delivers nothing: the panel must never take a byte that did not arrive.
        if (haveByte) {
            SendMessageA(port.owner_, WM_PORT_RXCHAR, received, port.portNumber_);
        }
    }
}

bool SendPending(CCommPort& port) {
    ResetEvent(port.writeEvent_);
    std::optional<FrameQueue::Frame> frame;
    {
        LockGuard queueGuard(port.queueLock_);
        frame = port.writeQueue_.Pop();
        // One frame per pass, so bytes that arrive between frames reach the panel in between.
        if (!port.writeQueue_.Empty()) {
            SetEvent(port.writeEvent_);
        }
    }
    if (!frame) {
        return true;
    }
    const char* failedStep = nullptr;
    DWORD errorCode = 0;
    {
        LockGuard guard(port.lock_);
        port.transfer_.Offset = 0;
        port.transfer_.OffsetHigh = 0;
        DWORD written = 0;
        // Waited for to the end under the lock: the frame is whole on its way before anything
        // else touches the port.
        if (!WriteFile(port.portHandle_, frame->data(), static_cast<DWORD>(frame->size()), &written,
                       &port.transfer_)) {
            errorCode = GetLastError();
            if (errorCode != ERROR_IO_PENDING) {
                failedStep = kOpWriteFile;
            } else if (!GetOverlappedResult(port.portHandle_, &port.transfer_, &written, TRUE)) {
                errorCode = GetLastError();
                failedStep = kOpWriteResult;
            }
        }
    }
    return failedStep == nullptr || port.ReportWorkerFailure(failedStep, errorCode);
}

CCommPort::Request CCommPort::NextRequest() const {
    const HANDLE requests[] = {shutdownEvent_, writeEvent_};
    switch (WaitForMultipleObjects(2, requests, FALSE, 0)) {
        case WAIT_OBJECT_0:
            return Request::kStop;
        case WAIT_OBJECT_0 + 1:
            return Request::kWrite;
        default:
            return Request::kNone;
    }
}

bool CCommPort::ReportWorkerFailure(const char* operation, DWORD errorCode) {
    DWORD errors = 0;
    COMSTAT status = {};
    const bool portAnswers = ClearCommError(portHandle_, &errors, &status) != FALSE;
    SetLastError(errorCode);
    workerReporting_.store(true);
    ReportError(operation);
    workerReporting_.store(false);
    return portAnswers && !reporter_;
}
