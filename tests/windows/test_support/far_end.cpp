// The test's end of a linked COM pair.
#include "tests/windows/test_support/far_end.h"

#include "serial/win32/com_device_name.h"

namespace {
constexpr DWORD kPollMs = 5;
}

FarEnd::FarEnd(int portNumber) {
    handle_ = CreateFileA(ComDeviceName(portNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                          nullptr, OPEN_EXISTING, 0, nullptr);
}

FarEnd::~FarEnd() {
    if (IsOpen()) {
        CloseHandle(handle_);
    }
}

bool FarEnd::Write(const std::vector<BYTE>& bytes) {
    DWORD written = 0;
    return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::vector<BYTE> FarEnd::Read(std::size_t count, DWORD timeoutMs) {
    std::vector<BYTE> received;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (received.size() < count && GetTickCount64() < deadline) {
        const std::vector<BYTE> chunk = ReadArrived();
        if (chunk.empty()) {
            Sleep(kPollMs);
        }
        received.insert(received.end(), chunk.begin(), chunk.end());
    }
    return received;
}

std::vector<BYTE> FarEnd::ReadArrived() {
    DWORD errors = 0;
    COMSTAT status = {};
    if (!ClearCommError(handle_, &errors, &status) || status.cbInQue == 0) {
        return {};
    }
    std::vector<BYTE> chunk(status.cbInQue);
    DWORD read = 0;
    if (!ReadFile(handle_, chunk.data(), status.cbInQue, &read, nullptr)) {
        return {};
    }
    chunk.resize(read);
    return chunk;
}

void FarEnd::Discard() {
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
}
