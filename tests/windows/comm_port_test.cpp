// The Windows port object on a real COM port of the Wine prefix, with the test playing the module
// on the far end of a pty pair: probing, configuration, the write queue, received bytes, stopping.
#include "serial/win32/comm_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/frame.h"
#include "serial/line_settings.h"
#include "serial/port_error.h"
#include "serial/win32/com_device_name.h"
#include "serial/win32/com_probe.h"
#include "serial/win32/port_notifications.h"
#include "tests/windows/test_support/box_watcher.h"
#include "tests/windows/test_support/far_end.h"
#include "tests/windows/test_support/owner_window.h"
#include "tests/windows/test_support/test_ports.h"

namespace {

// Generous bounds for waits on the pty pair and the worker; the tests end as soon as the awaited
// thing happens.
constexpr DWORD kArrivalTimeoutMs = 20000;
// No byte for this long: the far end has stopped sending.
constexpr DWORD kQuietLineMs = 300;

// The panel's line settings; the tests vary the framing.
constexpr LineSettings kTestSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                        1000, 1000, 1000, 1000, 1000};

std::vector<BYTE> Frame(BYTE sequence) {
    std::vector<BYTE> frame{0xEF, 0xEF, 0x04, 0x0C, sequence, static_cast<BYTE>(~sequence), 0};
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        frame.back() = static_cast<BYTE>(frame.back() + frame[i]);
    }
    return frame;
}

std::string SystemText(DWORD errorCode) {
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    LocalFree(text);
    return result;
}

// Keeps the module's end of the pair writing as fast as the line takes it, far faster than the
// worker hands bytes on, so bytes are always waiting. Through a second handle on the far port
// (Wine allows it), so the test can read the far end meanwhile.
class Flood {
  public:
    explicit Flood(int farPort) : end_(farPort) {
        if (end_.IsOpen()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~Flood() { Stop(); }

    bool IsRunning() const { return thread_.joinable(); }
    std::size_t Written() const { return written_.load(); }

    // The writer may be blocked on a full line: the worker must keep draining it, so the
    // owner's messages are dispatched until the writer has gone.
    void Stop() {
        stop_.store(true);
        if (thread_.joinable()) {
            PumpMessagesUntil([this] { return done_.load(); }, INFINITE);
            thread_.join();
        }
    }

  private:
    void Run() {
        const std::vector<BYTE> block(256, 0x55);
        while (!stop_.load() && end_.Write(block)) {
            written_ += block.size();
        }
        done_.store(true);
    }

    FarEnd end_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<std::size_t> written_{0};
    std::thread thread_;
};

class LinkedPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto pair = LinkedPairFromEnvironment();
        if (!pair) {
            GTEST_SKIP() << "no linked COM pair (run through scripts/test-windows.sh)";
        }
        pair_ = *pair;
    }

    bool Open(UINT portNumber, UINT baud = 9600, char parity = 'N', UINT dataBits = 8,
              UINT stopBits = 0) {
        LineSettings settings = kTestSettings;
        settings.baudRate = baud;
        settings.parity = parity;
        settings.dataBits = static_cast<std::uint8_t>(dataBits);
        settings.stopBits = static_cast<std::uint8_t>(stopBits);
        port_.SetOwner(owner_.Handle());
        lastOpen_ = port_.Setup(static_cast<int>(portNumber), settings);
        return lastOpen_.Opened();
    }

    // Starts the worker and waits until it serves the port: its start-up purge would discard
    // bytes the module sent before it.
    void StartServing(FarEnd& moduleEnd) {
        ASSERT_TRUE(port_.StartWorker());
        const std::vector<BYTE> hello = Frame(0xFF);
        port_.QueueWrite(hello.data(), static_cast<DWORD>(hello.size()));
        ASSERT_EQ(moduleEnd.Read(hello.size(), kArrivalTimeoutMs), hello);
    }

    LinkedPair pair_{};
    OwnerWindow owner_;
    BoxWatcher boxes_;
    CCommPort port_;
    OpenResult lastOpen_;  // what the last Open's Setup said
};

TEST_F(LinkedPortTest, ProbeFindsOnlyPresentPorts) {
    EXPECT_TRUE(ProbeComPort(pair_.port));
    EXPECT_TRUE(ProbeComPort(pair_.farPort));
    EXPECT_FALSE(ProbeComPort(kAbsentPort));
    EXPECT_EQ(ComListText(pair_.port), "COM" + std::to_string(pair_.port));
}

TEST_F(LinkedPortTest, AbsentPortFailsSilently) {
    EXPECT_FALSE(Open(kAbsentPort));
    EXPECT_EQ(lastOpen_.status, OpenStatus::Absent);
    EXPECT_FALSE(port_.StartWorker());
    port_.Shutdown();
    EXPECT_TRUE(boxes_.Texts().empty());
}

struct LineCase {
    const char* name;
    UINT baud;
    UINT stopSelector;
    BYTE expectedStopBits;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineSettingsTest : public LinkedPortTest, public ::testing::WithParamInterface<LineCase> {};

// A pty keeps 8 data bits without parity whatever it is asked (Linux forces them), so the
// settings read back are the speed, the stop bits and the RTS control.
TEST_P(LineSettingsTest, ReadBackFromTheDriver) {
    const LineCase& c = GetParam();
    ASSERT_TRUE(Open(pair_.port, c.baud, 'N', 8, c.stopSelector));
    // Windows refuses a second open of a COM port; Wine allows it and reports the same device.
    const HANDLE second =
        CreateFileA(ComDeviceName(pair_.port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (second == INVALID_HANDLE_VALUE) {
        GTEST_SKIP() << "the port cannot be opened a second time to read its settings";
    }
    DCB settings = {};
    settings.DCBlength = sizeof settings;
    ASSERT_TRUE(GetCommState(second, &settings));
    CloseHandle(second);
    EXPECT_EQ(settings.BaudRate, c.baud);
    EXPECT_EQ(settings.ByteSize, 8);
    EXPECT_EQ(settings.Parity, NOPARITY);
    EXPECT_EQ(settings.StopBits, c.expectedStopBits);
    EXPECT_EQ(settings.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_TRUE(boxes_.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Setup, LineSettingsTest,
                         ::testing::Values(LineCase{"Panel", 9600, 0, ONESTOPBIT},
                                           LineCase{"TwoStopBits", 19200, 2, TWOSTOPBITS},
                                           LineCase{"Slower", 4800, 0, ONESTOPBIT}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(LinkedPortTest, FailedConfigurationClosesThePortAfterOneBox) {
    // Nine data bits: no serial driver takes them.
    EXPECT_FALSE(Open(pair_.port, 9600, 'N', 9, 0));
    ASSERT_EQ(boxes_.Texts().size(), 1u);
    EXPECT_EQ(boxes_.Texts()[0].rfind("WARNING:  SetCommState() Failed", 0), 0u)
        << boxes_.Texts()[0];
    // The same failure, typed, for a host that shows no box.
    EXPECT_EQ(lastOpen_.status, OpenStatus::Failed);
    EXPECT_EQ(lastOpen_.step, "SetCommState()");
    EXPECT_FALSE(lastOpen_.systemText.empty());
    EXPECT_NE(boxes_.Texts()[0].find(lastOpen_.systemText), std::string::npos);
    EXPECT_FALSE(port_.StartWorker());
    EXPECT_TRUE(Open(pair_.port));
}

TEST_F(LinkedPortTest, ErrorBoxNamesOperationSystemTextAndPort) {
    ASSERT_TRUE(Open(pair_.port));
    SetLastError(ERROR_ACCESS_DENIED);
    port_.ReportError(kOpSetCommTimeouts);
    const std::vector<std::string> expected{
        FormatPortError(kOpSetCommTimeouts, SystemText(ERROR_ACCESS_DENIED), pair_.port)};
    EXPECT_EQ(boxes_.Texts(), expected);
}

TEST_F(LinkedPortTest, BackToBackFramesArriveWholeAndInOrder) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    moduleEnd.Discard();
    ASSERT_TRUE(Open(pair_.port));
    ASSERT_TRUE(port_.StartWorker());

    std::vector<BYTE> expected;
    for (BYTE sequence = 0; sequence < 40; ++sequence) {
        const std::vector<BYTE> frame = Frame(sequence);
        port_.QueueWrite(frame.data(), static_cast<DWORD>(frame.size()));
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(moduleEnd.Read(expected.size(), kArrivalTimeoutMs), expected);
    port_.Shutdown();
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(LinkedPortTest, SetupStartsWithAnEmptyQueue) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    moduleEnd.Discard();
    ASSERT_TRUE(Open(pair_.port));
    ASSERT_TRUE(port_.StartWorker());
    port_.Shutdown();

    const std::vector<BYTE> stale = Frame(1);
    port_.QueueWrite(stale.data(), static_cast<DWORD>(stale.size()));
    ASSERT_TRUE(Open(pair_.port));
    ASSERT_TRUE(port_.StartWorker());
    const std::vector<BYTE> fresh = Frame(2);
    port_.QueueWrite(fresh.data(), static_cast<DWORD>(fresh.size()));
    EXPECT_EQ(moduleEnd.Read(fresh.size(), kArrivalTimeoutMs), fresh);
}

TEST_F(LinkedPortTest, StopsAWorkerThatHasJustStarted) {
    // A stop that came before the new worker ran must still wait for it: a worker left running
    // on a closed port would fail its first wait and raise a box.
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(Open(pair_.port));
        ASSERT_TRUE(port_.StartWorker());
        if (round % 2 == 0) {
            port_.Shutdown();
        } else {
            ASSERT_TRUE(Open(pair_.port));  // Setup stops the running worker itself
            ASSERT_TRUE(port_.StartWorker());
            port_.Shutdown();
        }
    }
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(LinkedPortTest, ReceivedBytesReachTheOwnerInOrder) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);

    std::vector<BYTE> sent(300);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<BYTE>(i * 7);
    }
    ASSERT_TRUE(moduleEnd.Write(sent));
    EXPECT_TRUE(
        PumpMessagesUntil([&] { return owner_.Bytes().size() >= sent.size(); }, kArrivalTimeoutMs));
    EXPECT_EQ(owner_.Bytes(), sent);
    EXPECT_EQ(owner_.Ports(), std::vector<LPARAM>(owner_.Bytes().size(), pair_.port));
    port_.Shutdown();
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(LinkedPortTest, EverySerialEventNotifiesEachRegisteredClass) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    LineSettings settings = kTestSettings;
    settings.eventMask = kEvRxChar | kEvRxFlag | kEvErr;
    port_.SetOwner(owner_.Handle());
    ASSERT_TRUE(port_.Setup(static_cast<int>(pair_.port), settings).Opened());
    StartServing(moduleEnd);
    // A received byte is a serial event: the event character and error classes are notified
    // with it, whether or not either happened. (Wine cannot wait on the modem-line classes.)
    ASSERT_TRUE(moduleEnd.Write({0x42}));
    const auto seen = [&](UINT message) {
        for (UINT notification : owner_.Notifications()) {
            if (notification == message) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(PumpMessagesUntil(
        [&] { return !owner_.Bytes().empty() && seen(WM_PORT_RXFLAG) && seen(WM_PORT_ERR); },
        kArrivalTimeoutMs));
    EXPECT_EQ(owner_.Bytes(), std::vector<BYTE>{0x42});
    EXPECT_FALSE(seen(WM_PORT_BREAK) || seen(WM_PORT_CTS) || seen(WM_PORT_RING));
    EXPECT_TRUE(boxes_.Texts().empty());
    EXPECT_EQ(owner_.NotificationPorts(),
              std::vector<LPARAM>(owner_.NotificationPorts().size(), pair_.port));
    port_.Shutdown();
}

TEST_F(LinkedPortTest, QueuedFrameIsWrittenWhileBytesKeepArriving) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);
    Flood flood(pair_.farPort);
    ASSERT_TRUE(flood.IsRunning());
    ASSERT_TRUE(
        PumpMessagesUntil([&] { return owner_.Bytes().size() >= 1000; }, kArrivalTimeoutMs));

    const std::vector<BYTE> frame = Frame(0x33);
    port_.QueueWrite(frame.data(), static_cast<DWORD>(frame.size()));
    std::vector<BYTE> arrived;
    const bool written = PumpMessagesUntil(
        [&] {
            const std::vector<BYTE> more = moduleEnd.ReadArrived();
            arrived.insert(arrived.end(), more.begin(), more.end());
            return arrived.size() >= frame.size();
        },
        kArrivalTimeoutMs);
    // Bytes were still waiting when the frame went out: the line was never quiet.
    const std::size_t handedOn = owner_.Bytes().size();
    EXPECT_GT(flood.Written(), handedOn);
    flood.Stop();
    EXPECT_TRUE(written) << "the frame waited for the incoming bytes to stop";
    EXPECT_EQ(arrived, frame);
    // What the flood left in the pair's buffers is read off here, or the next test on this pair
    // would receive it.
    for (std::size_t seen = 0; seen != owner_.Bytes().size();) {
        seen = owner_.Bytes().size();
        PumpMessagesUntil([] { return false; }, kQuietLineMs);
    }
    port_.Shutdown();
    EXPECT_TRUE(boxes_.Texts().empty());
}

// The panel queues its next query while it is still handling the first byte of a reply (it waits
// between queries before it gets to the bytes): writing it must not cut that reply.
TEST_F(LinkedPortTest, FrameQueuedDuringAReplyLetsTheReplyFinish) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);
    const std::vector<BYTE> reply{0xED, 0xFA, 0x06, 0x0B, 0x0A, 0x03, 0x0A, 0x03, 0x12};
    const std::vector<BYTE> query = Frame(0x44);
    owner_.onByte = [&](BYTE) {
        if (owner_.Bytes().size() == 1) {
            Sleep(50);  // the rest of the reply is waiting when the frame is queued
            port_.QueueWrite(query.data(), static_cast<DWORD>(query.size()));
        }
    };
    ASSERT_TRUE(moduleEnd.Write(reply));
    std::vector<BYTE> arrived;
    EXPECT_TRUE(PumpMessagesUntil(
        [&] {
            const std::vector<BYTE> more = moduleEnd.ReadArrived();
            arrived.insert(arrived.end(), more.begin(), more.end());
            return arrived.size() >= query.size() && owner_.Bytes().size() >= reply.size();
        },
        kArrivalTimeoutMs));
    EXPECT_EQ(owner_.Bytes(), reply);
    EXPECT_EQ(arrived, query);
    port_.Shutdown();
}

// Replies keep coming while a frame is queued, more than one reply's worth: the frame goes out
// with bytes still waiting unread, and more trickle in after it. Writing it discards none of them.
TEST_F(LinkedPortTest, FrameWrittenWhileRepliesTrickleInKeepsEveryByte) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);
    std::vector<BYTE> sent(3 * kMaxReplyBytes);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<BYTE>(i * 7 + 1);
    }
    const std::size_t waitingWhenQueued = 2 * kMaxReplyBytes;
    const std::vector<BYTE> query = Frame(0x55);
    owner_.onByte = [&](BYTE) {
        if (owner_.Bytes().size() == 1) {
            port_.QueueWrite(query.data(), static_cast<DWORD>(query.size()));
            Sleep(50);  // the first two replies' worth is all in the driver before the frame goes
        }
    };
    ASSERT_TRUE(moduleEnd.Write({sent.begin(), sent.begin() + waitingWhenQueued}));
    std::vector<BYTE> arrived;
    std::size_t trickled = waitingWhenQueued;
    constexpr std::size_t kPiece = 7;
    EXPECT_TRUE(PumpMessagesUntil(
        [&] {
            const std::vector<BYTE> more = moduleEnd.ReadArrived();
            arrived.insert(arrived.end(), more.begin(), more.end());
            if (arrived.size() >= query.size() && trickled < sent.size()) {
                const std::size_t end = std::min(trickled + kPiece, sent.size());
                moduleEnd.Write({sent.begin() + trickled, sent.begin() + end});
                trickled = end;
            }
            return trickled == sent.size() && owner_.Bytes().size() >= sent.size();
        },
        kArrivalTimeoutMs))
        << owner_.Bytes().size() << " of " << sent.size() << " bytes reached the panel";
    EXPECT_EQ(owner_.Bytes(), sent);
    EXPECT_EQ(arrived, query);
    port_.Shutdown();
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(LinkedPortTest, ShutdownFromInsideTheByteHandlerStopsAfterThatByte) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);
    bool stopped = false;
    owner_.onByte = [&](BYTE) {
        if (!stopped) {
            port_.Shutdown();
            stopped = true;
        }
    };
    ASSERT_TRUE(moduleEnd.Write(std::vector<BYTE>(50, 0x5A)));
    ASSERT_TRUE(PumpMessagesUntil([&] { return stopped; }, kArrivalTimeoutMs));
    EXPECT_EQ(owner_.Bytes().size(), 1u);
}

TEST_F(LinkedPortTest, ShutdownWhileTheWorkerWaitsForTheOwner) {
    FarEnd moduleEnd(pair_.farPort);
    ASSERT_TRUE(moduleEnd.IsOpen());
    ASSERT_TRUE(Open(pair_.port));
    StartServing(moduleEnd);
    const std::vector<BYTE> sent(50, 0xA5);
    ASSERT_TRUE(moduleEnd.Write(sent));

    // Without dispatching, until the worker's first byte is waiting on this thread.
    const ULONGLONG deadline = GetTickCount64() + kArrivalTimeoutMs;
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0 &&
           GetTickCount64() < deadline) {
        Sleep(5);
    }
    port_.Shutdown();
    EXPECT_GE(owner_.Bytes().size(), 1u);
    EXPECT_LE(owner_.Bytes().size(), sent.size());
    EXPECT_EQ(owner_.Bytes(), std::vector<BYTE>(owner_.Bytes().size(), 0xA5));
}

}  // namespace
