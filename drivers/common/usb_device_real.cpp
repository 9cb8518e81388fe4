// The device seam on the Win32 calls of the still-image USB class driver.
#include "usb_device.h"

HANDLE UsbDevOpen(const char* name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL UsbDevControl(HANDLE device, uint32_t code, void* in, uint32_t inSize,
                   void* out, uint32_t outSize, uint32_t* returned)
{
    DWORD got = 0;
    BOOL ok = DeviceIoControl(device, code, in, inSize, out, outSize, &got, nullptr);
    if (returned)
        *returned = got;
    return ok;
}

BOOL UsbDevWrite(HANDLE device, const void* data, uint32_t size, uint32_t* written)
{
    DWORD done = 0;
    BOOL ok = WriteFile(device, data, size, &done, nullptr);
    if (written)
        *written = done;
    return ok;
}

BOOL UsbDevRead(HANDLE device, void* buffer, uint32_t size, uint32_t* received)
{
    DWORD done = 0;
    BOOL ok = ReadFile(device, buffer, size, &done, nullptr);
    if (received)
        *received = done;
    return ok;
}

BOOL UsbDevClose(HANDLE device)
{
    if (device == INVALID_HANDLE_VALUE || device == nullptr)
        return FALSE;
    return CloseHandle(device);
}
