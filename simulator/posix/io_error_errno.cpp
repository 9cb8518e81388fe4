// Native io failures set errno, as a POSIX call's would.
#include "io_error.h"

#include <errno.h>

namespace scansim {

void reportIoError(IoError error)
{
    switch (error) {
    case IoError::NoSuchDevice: errno = ENOENT; break;
    case IoError::InvalidHandle: errno = EBADF; break;
    case IoError::NotConnected: errno = ENODEV; break;
    case IoError::UnknownControl: errno = ENOTTY; break;
    case IoError::BufferTooSmall: errno = EOVERFLOW; break;
    case IoError::NoBuffer: errno = EINVAL; break;
    case IoError::OutOfMemory: errno = ENOMEM; break;
    }
}

} // namespace scansim
