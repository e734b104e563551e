// The module's end of a linked pair, played by the test: a plain (not overlapped) open of the
// far COM port, reading only what has arrived so that no call blocks.
#ifndef DRIVERPANEL_TESTS_WINDOWS_FAR_END_H
#define DRIVERPANEL_TESTS_WINDOWS_FAR_END_H

#include <windows.h>

#include <vector>

class FarEnd {
  public:
    explicit FarEnd(int portNumber);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Write(const std::vector<BYTE>& bytes);
    // Reads until count bytes have arrived or timeoutMs has passed; what arrived, in order.
    std::vector<BYTE> Read(std::size_t count, DWORD timeoutMs);
    // What has arrived so far, without waiting.
    std::vector<BYTE> ReadArrived();
    // Discards whatever has arrived so far.
    void Discard();

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

#endif
