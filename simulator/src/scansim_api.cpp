// The exported face of scansim.dll: the usbscan device interface, the control API,
// the transfer log and the configuration from the environment.
#include "scansim.h"

#include "device.h"

#include <windows.h>

#include <ctype.h>
#include <map>
#include <memory>
#include <mutex>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

using namespace scansim;

namespace {

struct Slot {
    std::unique_ptr<Device> device;
    bool connected = false;
    uint32_t generation = 0; // handles from an earlier connection stay dead
    uint32_t openTries = 0;  // open attempts while disconnected
};

struct HandleInfo {
    int index;
    uint32_t generation;
};

struct LogRecord {
    ScanSimLogEntry entry;
    std::vector<uint8_t> bytes;
};

// The usbscan control code that answers the 8-byte device descriptor.
const uint32_t IOCTL_CODE_GET_DEVICE_DESCRIPTOR = 0x80002018u;
const uint16_t DESCRIPTOR_DEVICE_RELEASE = 0x0100;
const uint16_t DESCRIPTOR_LANGUAGE = 0x0409;
const uint32_t kLogLimit = 400000;
const uint32_t kReadBytesLogged = 64;

std::recursive_mutex g_lock;
Slot g_slots[SCANSIM_MAX_DEVICES];
std::map<intptr_t, HandleInfo> g_handles;
intptr_t g_nextHandle = 0x5C00;
std::vector<LogRecord> g_log;
uint32_t g_sequence = 0;
bool g_configured = false; // by a test, or from the environment

bool validIndex(int index) { return index >= 0 && index < SCANSIM_MAX_DEVICES; }

Device* deviceAt(int index)
{
    return validIndex(index) ? g_slots[index].device.get() : nullptr;
}

void logTransfer(int index, int direction, uint32_t requested, uint32_t transferred,
                 const uint8_t* bytes, uint32_t keep)
{
    if (g_log.size() >= kLogLimit)
        g_log.erase(g_log.begin(), g_log.begin() + kLogLimit / 2);
    LogRecord r;
    r.entry.sequence = g_sequence++;
    r.entry.device = index;
    r.entry.direction = direction;
    r.entry.requested = requested;
    r.entry.transferred = transferred;
    r.entry.storedBytes = keep;
    if (bytes && keep)
        r.bytes.assign(bytes, bytes + keep);
    g_log.push_back(std::move(r));
}

Kind kindOf(int kind) { return kind == SCANSIM_KIND_CCD ? Kind::Ccd : kind == SCANSIM_KIND_CIS0 ? Kind::Cis0 : Kind::Cis1; }

int attach(int index, int kind, uint16_t vid, uint16_t pid)
{
    if (!validIndex(index) || kind < SCANSIM_KIND_CCD || kind > SCANSIM_KIND_CIS1)
        return 0;
    Slot& s = g_slots[index];
    s.device.reset(new Device(kindOf(kind), vid, pid));
    s.connected = true;
    ++s.generation;
    s.openTries = 0;
    return 1;
}

void disconnect(Slot& s)
{
    s.connected = false;
    ++s.generation;
    s.openTries = 0;
}

void reconnect(Slot& s)
{
    s.connected = true;
    s.openTries = 0;
    s.device->powerOn();
}

std::string trim(const std::string& t)
{
    size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        size_t at = text.find(sep, from);
        parts.push_back(trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from)));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

std::string lower(std::string t)
{
    for (char& c : t)
        c = char(tolower((unsigned char)c));
    return t;
}

int setFault(int index, int fault, uint32_t param);
void faultsFromEnvironment();

// SCANSIM_DEVICES "0=ccd,1=cis1:0400:1001" and SCANSIM_SHEET "0=fiducial,1=file:C:\x.bmp".
void configureFromEnvironment()
{
    if (g_configured)
        return;
    g_configured = true;
    const char* devices = getenv("SCANSIM_DEVICES");
    if (devices) {
        for (const std::string& item : split(devices, ',')) {
            size_t eq = item.find('=');
            if (eq == std::string::npos)
                continue;
            int index = atoi(item.substr(0, eq).c_str());
            std::vector<std::string> f = split(item.substr(eq + 1), ':');
            std::string k = lower(f[0]);
            int kind = k == "ccd" ? SCANSIM_KIND_CCD : k == "cis0" ? SCANSIM_KIND_CIS0
                     : k == "cis1" ? SCANSIM_KIND_CIS1 : 0;
            uint16_t vid = SCANSIM_DEFAULT_VID;
            uint16_t pid = kind == SCANSIM_KIND_CCD ? SCANSIM_DEFAULT_PID_CCD : SCANSIM_DEFAULT_PID_CIS;
            if (f.size() >= 3) {
                vid = uint16_t(strtoul(f[1].c_str(), nullptr, 16));
                pid = uint16_t(strtoul(f[2].c_str(), nullptr, 16));
            }
            attach(index, kind, vid, pid);
        }
    }
    const char* sheets = getenv("SCANSIM_SHEET");
    if (sheets) {
        for (const std::string& item : split(sheets, ',')) {
            size_t eq = item.find('=');
            if (eq == std::string::npos)
                continue;
            Device* d = deviceAt(atoi(item.substr(0, eq).c_str()));
            if (!d)
                continue;
            std::string what = item.substr(eq + 1);
            Sheet sheet;
            std::string error;
            std::string lw = lower(what);
            int card = lw == "white" ? SCANSIM_CARD_WHITE : lw == "fiducial" ? SCANSIM_CARD_FIDUCIAL
                     : lw == "gray" ? SCANSIM_CARD_GRAY : 0;
            try {
                if ((card && makeCard(card, sheet)) ||
                    (lw.compare(0, 5, "file:") == 0 && loadBmp(what.substr(5).c_str(), sheet, error)))
                    d->insertSheet(sheet);
            } catch (...) {
                // a card too large for memory: the feeder stays empty
            }
        }
    }
    faultsFromEnvironment();
}

// SCANSIM_FAULTS "0=short_every:7,0=jam:500,1=sensor_flap".
void faultsFromEnvironment()
{
    static const struct {
        const char* name;
        int fault;
    } kNames[] = {{"short_every", SCANSIM_FAULT_SHORT_EVERY},     {"short_from", SCANSIM_FAULT_SHORT_FROM},
                  {"disconnect_at", SCANSIM_FAULT_DISCONNECT_AT}, {"reconnect_after", SCANSIM_FAULT_RECONNECT_AFTER},
                  {"jam", SCANSIM_FAULT_JAM},                     {"sensor_stuck", SCANSIM_FAULT_SENSOR_STUCK},
                  {"sensor_flap", SCANSIM_FAULT_SENSOR_FLAP}};
    const char* faults = getenv("SCANSIM_FAULTS");
    if (!faults)
        return;
    for (const std::string& item : split(faults, ',')) {
        size_t eq = item.find('=');
        if (eq == std::string::npos)
            continue;
        std::vector<std::string> f = split(item.substr(eq + 1), ':');
        for (const auto& n : kNames)
            if (lower(f[0]) == n.name)
                setFault(atoi(item.substr(0, eq).c_str()), n.fault,
                         f.size() > 1 ? uint32_t(strtoul(f[1].c_str(), nullptr, 10)) : 0);
    }
}

// The control API takes over: the environment no longer applies.
void takeControl() { g_configured = true; }

// "\\.\usbscanN" with N = 0..126.
int parseDeviceName(const char* name)
{
    if (!name || strncmp(name, "\\\\.\\", 4) != 0)
        return -1;
    const char* p = name + 4;
    if (_strnicmp(p, "usbscan", 7) != 0)
        return -1;
    p += 7;
    if (!isdigit((unsigned char)*p))
        return -1;
    char* end = nullptr;
    long n = strtol(p, &end, 10);
    if (*end != '\0' || n < 0 || n >= SCANSIM_MAX_DEVICES)
        return -1;
    return int(n);
}

// The slot behind a live handle, or null with the Win32 error set.
Slot* slotOf(intptr_t h, int* index)
{
    auto it = g_handles.find(h);
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Slot& s = g_slots[it->second.index];
    if (!s.device || !s.connected || s.generation != it->second.generation) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    *index = it->second.index;
    return &s;
}

} // namespace

namespace {

int setFault(int index, int fault, uint32_t param)
{
    Device* d = deviceAt(index);
    if (!d)
        return 0;
    Faults& f = d->faults();
    switch (fault) {
    case SCANSIM_FAULT_SHORT_EVERY: f.shortEvery = param; return 1;
    case SCANSIM_FAULT_SHORT_FROM: f.shortFromActive = true; f.shortFromRemaining = param; return 1;
    case SCANSIM_FAULT_DISCONNECT_AT:
        f.disconnectActive = true;
        f.disconnectRemaining = param;
        return 1;
    case SCANSIM_FAULT_RECONNECT_AFTER: f.reconnectAfterOpens = param; return 1;
    case SCANSIM_FAULT_JAM: d->paper().jamAfter(param); return 1;
    case SCANSIM_FAULT_SENSOR_STUCK: f.sensorStuck = param ? 1 : 0; return 1;
    case SCANSIM_FAULT_SENSOR_FLAP: f.sensorFlap = true; return 1;
    default: return 0;
    }
}

} // namespace

extern "C" {

SCANSIM_API intptr_t scansim_io_open(const char* name)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    configureFromEnvironment();
    int index = parseDeviceName(name);
    if (index < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    Slot& s = g_slots[index];
    if (s.device && !s.connected && s.device->faults().reconnectAfterOpens &&
        ++s.openTries >= s.device->faults().reconnectAfterOpens)
        reconnect(s);
    if (!s.device || !s.connected) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    intptr_t h = g_nextHandle;
    g_nextHandle += 4;
    g_handles[h] = HandleInfo{index, s.generation};
    return h;
}

SCANSIM_API int scansim_io_control(intptr_t h, uint32_t code, const void* in, uint32_t inSize,
                                   void* out, uint32_t outSize, uint32_t* returned)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (returned)
        *returned = 0;
    int index = -1;
    Slot* s = slotOf(h, &index);
    if (!s)
        return 0;
    if (code != IOCTL_CODE_GET_DEVICE_DESCRIPTOR) {
        logTransfer(index, 2, outSize, 0, nullptr, 0);
        SetLastError(ERROR_INVALID_FUNCTION);
        return 0;
    }
    if (!out || outSize < 8) {
        logTransfer(index, 2, outSize, 0, nullptr, 0);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    uint16_t words[4] = {s->device->vendorId(), s->device->productId(), DESCRIPTOR_DEVICE_RELEASE,
                         DESCRIPTOR_LANGUAGE};
    memcpy(out, words, 8);
    if (returned)
        *returned = 8;
    logTransfer(index, 2, outSize, 8, static_cast<const uint8_t*>(out), 8);
    return 1;
}

SCANSIM_API int scansim_io_write(intptr_t h, const void* data, uint32_t size, uint32_t* written)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (written)
        *written = 0;
    int index = -1;
    Slot* s = slotOf(h, &index);
    if (!s)
        return 0;
    if (!data && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    try {
        logTransfer(index, 0, size, size, bytes, size);
        s->device->bulkOut(bytes, size);
    } catch (...) { // nothing may cross the module boundary
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (written)
        *written = size;
    return 1;
}

SCANSIM_API int scansim_io_read(intptr_t h, void* buffer, uint32_t size, uint32_t* received)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (received)
        *received = 0;
    int index = -1;
    Slot* s = slotOf(h, &index);
    if (!s)
        return 0;
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    uint32_t got = 0;
    try {
        got = s->device->bulkIn(bytes, size);
        logTransfer(index, 1, size, got, bytes, got < kReadBytesLogged ? got : kReadBytesLogged);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (received)
        *received = got;
    if (s->device->disconnectPending()) {
        s->device->clearDisconnectPending();
        disconnect(*s);
    }
    return 1;
}

SCANSIM_API int scansim_io_close(intptr_t h)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (!g_handles.erase(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

SCANSIM_API void scansim_reset(void)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    for (Slot& s : g_slots) {
        s.device.reset();
        s.connected = false;
        ++s.generation;
    }
    g_handles.clear();
    g_log.clear();
}

SCANSIM_API int scansim_attach(int index, int kind, uint16_t vendorId, uint16_t productId)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    return attach(index, kind, vendorId, productId);
}

SCANSIM_API int scansim_detach(int index)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    if (!deviceAt(index))
        return 0;
    g_slots[index].device.reset();
    disconnect(g_slots[index]);
    return 1;
}

SCANSIM_API int scansim_insert_card(int index, int card)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    Device* d = deviceAt(index);
    Sheet sheet;
    if (!d || !makeCard(card, sheet))
        return 0;
    d->insertSheet(sheet);
    return 1;
}

SCANSIM_API int scansim_insert_bmp(int index, const char* path)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    Device* d = deviceAt(index);
    if (!d)
        return 0;
    try {
        Sheet sheet;
        std::string error;
        if (!loadBmp(path, sheet, error))
            return 0;
        d->insertSheet(sheet);
        return 1;
    } catch (...) {
        return 0; // out of memory for a very large card
    }
}

SCANSIM_API int scansim_remove_sheet(int index)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    Device* d = deviceAt(index);
    if (!d)
        return 0;
    d->removeSheet();
    return 1;
}

SCANSIM_API int scansim_press_button(int index, int button, int pressed)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    Device* d = deviceAt(index);
    if (!d || button < 1 || button > 4)
        return 0;
    d->pressButton(button, pressed != 0);
    return 1;
}

SCANSIM_API int scansim_set_fault(int index, int fault, uint32_t param)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    return setFault(index, fault, param);
}

SCANSIM_API int scansim_clear_faults(int index)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    Device* d = deviceAt(index);
    if (!d)
        return 0;
    d->faults() = Faults();
    d->paper().clearJam();
    return 1;
}

SCANSIM_API int scansim_disconnect(int index)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    if (!deviceAt(index) || !g_slots[index].connected)
        return 0;
    disconnect(g_slots[index]);
    return 1;
}

SCANSIM_API int scansim_reconnect(int index)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    takeControl();
    if (!deviceAt(index) || g_slots[index].connected)
        return 0;
    reconnect(g_slots[index]);
    return 1;
}

SCANSIM_API int scansim_get_status(int index, ScanSimStatus* st)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    configureFromEnvironment();
    if (!st || !validIndex(index))
        return 0;
    memset(st, 0, sizeof *st);
    Device* d = deviceAt(index);
    if (!d)
        return 1;
    d->paper().update(nowMs());
    st->attached = 1;
    st->connected = g_slots[index].connected;
    st->kind = d->kind() == Kind::Ccd ? SCANSIM_KIND_CCD : d->kind() == Kind::Cis0 ? SCANSIM_KIND_CIS0
                                                                                    : SCANSIM_KIND_CIS1;
    st->vendorId = d->vendorId();
    st->productId = d->productId();
    st->scanning = d->scanning();
    st->motorRun = int(d->paper().run());
    st->sheetPresent = d->paper().present();
    st->paperAtSensor = d->paperAtSensor();
    st->sheetLead = d->paper().lead();
    st->motorSteps = d->paper().motorSteps();
    st->linesScanned = d->linesScanned();
    st->bytesPerLine = d->lineFormat().bytes;
    st->pixelsPerLine = uint32_t(d->lineFormat().pixels);
    st->protocolErrors = d->protocolErrors();
    st->sheetsEjected = d->paper().ejected();
    return 1;
}

SCANSIM_API int scansim_get_registers(int index, uint8_t registers[128])
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    Device* d = deviceAt(index);
    if (!d || !registers)
        return 0;
    memcpy(registers, d->registers().data(), REG_COUNT);
    return 1;
}

SCANSIM_API uint32_t scansim_register_text(int index, char* buffer, uint32_t capacity)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    Device* d = deviceAt(index);
    if (!d)
        return 0;
    std::string text = d->registers().format();
    if (buffer && capacity) {
        size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
        memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return uint32_t(text.size() + 1);
}

SCANSIM_API int scansim_read_memory(int index, int region, uint32_t address, uint8_t* buffer,
                                    uint32_t length)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    Device* d = deviceAt(index);
    if (!d || region < 0 || region > 0xFF)
        return 0;
    return d->readMemory(uint8_t(region), address, buffer, length) ? 1 : 0;
}

SCANSIM_API int scansim_sensor_pixel(int index, int position, double* dark, double* sensitivity)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    Device* d = deviceAt(index);
    double dk = 0, sens = 0;
    if (!d || !d->sensorPixel(position, dk, sens))
        return 0;
    if (dark)
        *dark = dk;
    if (sensitivity)
        *sensitivity = sens;
    return 1;
}

SCANSIM_API uint32_t scansim_log_count(void)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return uint32_t(g_log.size());
}

SCANSIM_API int scansim_log_entry(uint32_t i, ScanSimLogEntry* entry, uint8_t* bytes, uint32_t capacity)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (i >= g_log.size() || !entry)
        return 0;
    const LogRecord& r = g_log[i];
    *entry = r.entry;
    if (bytes && capacity)
        memcpy(bytes, r.bytes.data(), r.bytes.size() < capacity ? r.bytes.size() : capacity);
    return 1;
}

SCANSIM_API void scansim_log_clear(void)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    g_log.clear();
}

SCANSIM_API uint32_t scansim_log_text(char* buffer, uint32_t capacity)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    std::string text;
    char item[32];
    for (const LogRecord& r : g_log) {
        if (r.entry.direction == 0) {
            text += "W";
            for (uint8_t b : r.bytes) {
                snprintf(item, sizeof item, " %02X", b);
                text += item;
            }
        } else {
            snprintf(item, sizeof item, "%s %u/%u", r.entry.direction == 1 ? "R" : "C",
                     r.entry.transferred, r.entry.requested);
            text += item;
        }
        text += '\n';
    }
    if (buffer && capacity) {
        size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
        memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return uint32_t(text.size() + 1);
}

} // extern "C"
