// The "Application Error" report of a failed port function: its title, the names of the steps
// that can fail, and the composed text. Shared by the Windows and POSIX port objects.
#ifndef DRIVERPANEL_SERIAL_PORT_ERROR_H
#define DRIVERPANEL_SERIAL_PORT_ERROR_H

#include <string>
#include <string_view>

constexpr const char* kApplicationErrorTitle = "Application Error";

// The step that failed, named after the Win32 call that performs it on Windows; the POSIX port
// object reports its equivalent steps under the same names, so operators see one vocabulary.
constexpr const char* kOpSetCommTimeouts = "SetCommTimeouts()";
constexpr const char* kOpSetCommMask = "SetCommMask()";
constexpr const char* kOpGetCommState = "GetCommState()";
constexpr const char* kOpSetCommState = "SetCommState()";
constexpr const char* kOpWaitCommEvent = "WaitCommEvent()";
constexpr const char* kOpWriteFile = "WriteFile()";
constexpr const char* kOpWriteResult = "GetOverlappedResults() in WriteFile()";
constexpr const char* kOpReadFile = "ReadFile()";
constexpr const char* kOpReadResult = "GetOverlappedResults() in ReadFile()";
// The status query before each read; when it fails the port has stopped answering.
constexpr const char* kOpClearCommError = "ClearCommError()";

// "WARNING:  <operation> Failed with the following error: \n<system text>\nPort: <n>\n",
// whole, however long the system's text is.
std::string FormatPortError(std::string_view operation, std::string_view systemText,
                            int portNumber);

#endif
