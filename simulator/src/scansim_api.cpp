// The C API: the usbscan-style io functions and the control API. Every function runs
// under the simulator's one lock, and nothing thrown crosses into the caller.
#include "scansim.h"

#include "device_bank.h"
#include "environment.h"
#include "io_error.h"
#include "sheet.h"
#include "transfer_log.h"

#include <mutex>
#include <string.h>
#include <string>

using namespace scansim;

namespace {

// The descriptor words after vendor and product id.
const uint16_t DESCRIPTOR_DEVICE_RELEASE = 0x0100;
const uint16_t DESCRIPTOR_LANGUAGE = 0x0409;

std::recursive_mutex g_lock;

// Runs a call's body under the lock; a failed allocation answers `failed`.
template <typename Result, typename Body>
Result locked(Result failed, Body body)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    try {
        return body();
    } catch (...) {
        return failed;
    }
}

// An io call: the same, with the failure reported as the platform's callers expect.
template <typename Result = int, typename Body>
Result io(Body body)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    try {
        return body();
    } catch (...) {
        reportIoError(IoError::OutOfMemory);
        return 0;
    }
}

// A control call: the environment no longer applies.
template <typename Body>
int control(Body body)
{
    return locked(0, [&]() -> int {
        ignoreEnvironment();
        return body() ? 1 : 0;
    });
}

int fail(IoError why)
{
    reportIoError(why);
    return 0;
}

// An io call on the device behind a handle: body(device, index).
template <typename Body>
int ioOnDevice(intptr_t h, Body body)
{
    return io([&]() -> int {
        int index = -1;
        IoError why;
        Device* d = deviceOfHandle(h, index, why);
        return d ? body(*d, index) : fail(why);
    });
}

// Copies text with its terminating zero, cut to fit; returns the size it needs.
uint32_t copyText(const std::string& text, char* buffer, uint32_t capacity)
{
    if (buffer && capacity) {
        size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
        memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return uint32_t(text.size() + 1);
}

} // namespace

extern "C" {

SCANSIM_API intptr_t scansim_io_open(const char* name)
{
    return io<intptr_t>([&]() -> intptr_t {
        configureFromEnvironment();
        IoError why;
        intptr_t h = openHandle(name, why);
        if (!h)
            reportIoError(why);
        return h;
    });
}

// The descriptor request takes no input: `in` and `inSize` are ignored.
SCANSIM_API int scansim_io_control(intptr_t h, uint32_t code, const void* /*in*/, uint32_t /*inSize*/,
                                   void* out, uint32_t outSize, uint32_t* returned)
{
    if (returned)
        *returned = 0;
    return ioOnDevice(h, [&](Device& d, int index) -> int {
        if (code != SCANSIM_IO_GET_DESCRIPTOR || !out || outSize < 8) {
            logTransfer(index, LOG_CONTROL, outSize, 0, nullptr, 0);
            return fail(code != SCANSIM_IO_GET_DESCRIPTOR ? IoError::UnknownControl : IoError::BufferTooSmall);
        }
        uint16_t words[4] = {d.vendorId(), d.productId(), DESCRIPTOR_DEVICE_RELEASE, DESCRIPTOR_LANGUAGE};
        memcpy(out, words, 8);
        if (returned)
            *returned = 8;
        logTransfer(index, LOG_CONTROL, outSize, 8, static_cast<const uint8_t*>(out), 8);
        return 1;
    });
}

SCANSIM_API int scansim_io_write(intptr_t h, const void* data, uint32_t size, uint32_t* written)
{
    if (written)
        *written = 0;
    return ioOnDevice(h, [&](Device& d, int index) -> int {
        if (!data && size)
            return fail(IoError::NoBuffer);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        logTransfer(index, LOG_BULK_OUT, size, size, bytes, size);
        d.bulkOut(bytes, size);
        if (written)
            *written = size;
        return 1;
    });
}

SCANSIM_API int scansim_io_read(intptr_t h, void* buffer, uint32_t size, uint32_t* received)
{
    if (received)
        *received = 0;
    return ioOnDevice(h, [&](Device& d, int index) -> int {
        if (!buffer && size)
            return fail(IoError::NoBuffer);
        uint8_t* bytes = static_cast<uint8_t*>(buffer);
        uint32_t got = d.bulkIn(bytes, size);
        logTransfer(index, LOG_BULK_IN, size, got, bytes, got < LOG_READ_BYTES ? got : LOG_READ_BYTES);
        if (received)
            *received = got;
        settlePendingDisconnect(index);
        return 1;
    });
}

SCANSIM_API int scansim_io_close(intptr_t h)
{
    return io([&]() -> int { return closeHandle(h) ? 1 : fail(IoError::InvalidHandle); });
}

SCANSIM_API void scansim_reset(void)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    ignoreEnvironment();
    detachAll();
    clearLog();
}

SCANSIM_API int scansim_attach(int index, int kind, uint16_t vendorId, uint16_t productId)
{
    return control([&] { return attach(index, kind, vendorId, productId); });
}

SCANSIM_API int scansim_detach(int index)
{
    return control([&] { return detach(index); });
}

SCANSIM_API int scansim_insert_card(int index, int card)
{
    return control([&] { return insertCard(index, card); });
}

SCANSIM_API int scansim_insert_bmp(int index, const char* path)
{
    return control([&] { return insertBmp(index, path); });
}

SCANSIM_API int scansim_remove_sheet(int index)
{
    return control([&] {
        Device* d = deviceAt(index);
        if (d)
            d->removeSheet();
        return d != nullptr;
    });
}

SCANSIM_API int scansim_press_button(int index, int button, int pressed)
{
    return control([&] {
        Device* d = deviceAt(index);
        if (!d || button < 1 || button > 4)
            return false;
        d->pressButton(button, pressed != 0);
        return true;
    });
}

SCANSIM_API int scansim_set_fault(int index, int fault, uint32_t param)
{
    return control([&] {
        Device* d = deviceAt(index);
        return d && d->setFault(fault, param);
    });
}

SCANSIM_API int scansim_clear_faults(int index)
{
    return control([&] {
        Device* d = deviceAt(index);
        if (d)
            d->clearFaults();
        return d != nullptr;
    });
}

SCANSIM_API int scansim_disconnect(int index)
{
    return control([&] { return disconnect(index); });
}

SCANSIM_API int scansim_reconnect(int index)
{
    return control([&] { return reconnect(index); });
}

SCANSIM_API int scansim_get_status(int index, ScanSimStatus* st)
{
    return locked(0, [&] {
        configureFromEnvironment();
        return st && getStatus(index, *st) ? 1 : 0;
    });
}

SCANSIM_API int scansim_get_registers(int index, uint8_t registers[128])
{
    return locked(0, [&] {
        Device* d = deviceAt(index);
        if (!d || !registers)
            return 0;
        memcpy(registers, d->registers().data(), REG_COUNT);
        return 1;
    });
}

SCANSIM_API uint32_t scansim_register_text(int index, char* buffer, uint32_t capacity)
{
    return locked(0u, [&] {
        Device* d = deviceAt(index);
        return d ? copyText(d->registers().format(), buffer, capacity) : 0u;
    });
}

SCANSIM_API int scansim_read_memory(int index, int region, uint32_t address, uint8_t* buffer,
                                    uint32_t length)
{
    return locked(0, [&] {
        Device* d = deviceAt(index);
        if (!d || region < 0 || region > 0xFF)
            return 0;
        return d->readMemory(uint8_t(region), address, buffer, length) ? 1 : 0;
    });
}

SCANSIM_API int scansim_sensor_pixel(int index, int position, double* dark, double* sensitivity)
{
    return locked(0, [&] {
        Device* d = deviceAt(index);
        double dk = 0, sens = 0;
        if (!d || !d->sensorPixel(position, dk, sens))
            return 0;
        if (dark)
            *dark = dk;
        if (sensitivity)
            *sensitivity = sens;
        return 1;
    });
}

SCANSIM_API int scansim_card_truth(int card, double dpi, double x0, double y0, int width, int height,
                                   uint8_t* rgb)
{
    // A truth larger than 1200 dpi over a whole card is a caller's mistake.
    const int64_t kMaxPixels = int64_t(4) * SCANSIM_CARD_WIDTH * SCANSIM_CARD_HEIGHT;
    if (!rgb || !(dpi >= 1 && dpi <= 9600) || width <= 0 || height <= 0 ||
        int64_t(width) * height > kMaxPixels)
        return 0;
    return locked(0, [&] {
        Sheet sheet;
        if (!makeCard(card, sheet))
            return 0;
        renderTruth(sheet, dpi, x0, y0, width, height, rgb);
        return 1;
    });
}

SCANSIM_API uint32_t scansim_log_count(void)
{
    return locked(0u, [] { return logCount(); });
}

SCANSIM_API int scansim_log_entry(uint32_t i, ScanSimLogEntry* entry, uint8_t* bytes, uint32_t capacity)
{
    return locked(0, [&] { return entry && logEntry(i, *entry, bytes, capacity) ? 1 : 0; });
}

SCANSIM_API void scansim_log_clear(void)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    clearLog();
}

SCANSIM_API uint32_t scansim_log_text(char* buffer, uint32_t capacity)
{
    return locked(0u, [&] { return copyText(logText(), buffer, capacity); });
}

} // extern "C"
