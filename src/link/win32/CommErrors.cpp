#include "link/win32/CommErrors.h"

#include <cerrno>

#include "link/SerialDevice.h"

namespace pelican {

int OpenErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED: return ENOENT;
        // Windows refuses a port that another program holds as access denied.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EBUSY;
        default: return EIO;
    }
}

int CommErrnoOf(DWORD error) {
    switch (error) {
        // A device that does not take the communications calls: a file, a
        // printer, NUL.
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_HANDLE:
        case ERROR_BAD_COMMAND: return ENOTTY;
        case ERROR_ACCESS_DENIED: return EACCES;
        // An adapter pulled out between the open and the first call.
        case ERROR_FILE_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED: return ENOENT;
        // The driver's own failure (ERROR_GEN_FAILURE, a USB adapter that
        // does not answer: ERROR_SEM_TIMEOUT, ERROR_IO_DEVICE).
        default: return EIO;
    }
}

int FaultErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER: return ENOTTY;
        // A USB adapter pulled out leaves the handle open with no device
        // behind it: its driver then refuses every call as access denied or
        // as a command it does not know, and ends the operations in flight
        // as aborted.
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_OPERATION_ABORTED:
        case ERROR_INVALID_HANDLE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED: return ENODEV;
        default: return EIO;
    }
}

uint32_t LineErrorsOf(DWORD word) {
    uint32_t errors = 0;
    if (word & (CE_OVERRUN | CE_RXOVER)) errors |= kLineOverrun;
    if (word & CE_RXPARITY) errors |= kLineParity;
    if (word & CE_FRAME) errors |= kLineFraming;
    if (word & CE_BREAK) errors |= kLineBreak;
    // The driver's I/O error and a port that no longer answers in the mode
    // it was opened in (a removed adapter).
    if (word & (CE_IOE | CE_MODE)) errors |= kLineOther;
    return errors;
}

}  // namespace pelican
