#include "device_bank.h"

#include <ctype.h>
#include <map>
#include <memory>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace scansim {

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

struct BankState {
    Slot slots[SCANSIM_MAX_DEVICES];
    std::map<intptr_t, HandleInfo> handles;
    intptr_t nextHandle = 0x5C00;
};

BankState g_bank;

bool validIndex(int index) { return index >= 0 && index < SCANSIM_MAX_DEVICES; }

const struct {
    int code;
    Kind kind;
} kKinds[] = {{SCANSIM_KIND_CCD, Kind::Ccd}, {SCANSIM_KIND_CIS0, Kind::Cis0}, {SCANSIM_KIND_CIS1, Kind::Cis1}};

int kindCode(Kind kind)
{
    for (const auto& k : kKinds)
        if (k.kind == kind)
            return k.code;
    return 0;
}

void markDisconnected(Slot& s)
{
    s.connected = false;
    ++s.generation;
    s.openTries = 0;
}

void markReconnected(Slot& s)
{
    s.connected = true;
    s.openTries = 0;
    s.device->powerOn();
}

bool startsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix)
        if (tolower((unsigned char)*text) != tolower((unsigned char)*prefix))
            return false;
    return true;
}

// "\\.\usbscanN" with N = 0..126; -1 for anything else.
int parseDeviceName(const char* name)
{
    if (!name || strncmp(name, "\\\\.\\", 4) != 0)
        return -1;
    const char* p = name + 4;
    if (!startsWithNoCase(p, "usbscan"))
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

} // namespace

Device* deviceAt(int index)
{
    return validIndex(index) ? g_bank.slots[index].device.get() : nullptr;
}

bool attach(int index, int kind, uint16_t vendorId, uint16_t productId)
{
    if (!validIndex(index))
        return false;
    for (const auto& k : kKinds) {
        if (k.code != kind)
            continue;
        Slot& s = g_bank.slots[index];
        s.device.reset(new Device(k.kind, vendorId, productId));
        s.connected = true;
        ++s.generation;
        s.openTries = 0;
        return true;
    }
    return false;
}

bool detach(int index)
{
    if (!deviceAt(index))
        return false;
    g_bank.slots[index].device.reset();
    markDisconnected(g_bank.slots[index]);
    return true;
}

void detachAll()
{
    for (Slot& s : g_bank.slots) {
        s.device.reset();
        s.connected = false;
        ++s.generation;
    }
    g_bank.handles.clear();
}

bool disconnect(int index)
{
    if (!deviceAt(index) || !g_bank.slots[index].connected)
        return false;
    markDisconnected(g_bank.slots[index]);
    return true;
}

bool reconnect(int index)
{
    if (!deviceAt(index) || g_bank.slots[index].connected)
        return false;
    markReconnected(g_bank.slots[index]);
    return true;
}

bool insertCard(int index, int card)
{
    Device* d = deviceAt(index);
    Sheet sheet;
    if (!d || !makeCard(card, sheet))
        return false;
    d->insertSheet(std::move(sheet));
    return true;
}

bool insertBmp(int index, const char* path)
{
    Device* d = deviceAt(index);
    Sheet sheet;
    std::string error;
    if (!d || !loadBmp(path, sheet, error))
        return false;
    d->insertSheet(std::move(sheet));
    return true;
}

bool getStatus(int index, ScanSimStatus& st)
{
    if (!validIndex(index))
        return false;
    memset(&st, 0, sizeof st);
    Device* d = deviceAt(index);
    if (!d)
        return true;
    d->paper().update(nowMs());
    st.attached = 1;
    st.connected = g_bank.slots[index].connected;
    st.kind = kindCode(d->kind());
    st.vendorId = d->vendorId();
    st.productId = d->productId();
    st.scanning = d->scanning();
    st.motorRun = int(d->paper().run());
    st.sheetPresent = d->paper().present();
    st.paperAtSensor = d->paperAtSensor();
    st.sheetLead = d->paper().lead();
    st.motorSteps = d->paper().motorSteps();
    st.linesScanned = d->linesScanned();
    st.bytesPerLine = d->lineFormat().bytes;
    st.pixelsPerLine = uint32_t(d->lineFormat().pixels);
    st.protocolErrors = d->protocolErrors();
    st.sheetsEjected = d->paper().ejected();
    return true;
}

intptr_t openHandle(const char* name, IoError& why)
{
    why = IoError::NoSuchDevice;
    int index = parseDeviceName(name);
    if (index < 0)
        return 0;
    Slot& s = g_bank.slots[index];
    if (s.device && !s.connected && s.device->faults().reconnectAfterOpens &&
        ++s.openTries >= s.device->faults().reconnectAfterOpens)
        markReconnected(s);
    if (!s.device || !s.connected)
        return 0;
    intptr_t h = g_bank.nextHandle;
    g_bank.nextHandle += 4;
    g_bank.handles[h] = HandleInfo{index, s.generation};
    return h;
}

Device* deviceOfHandle(intptr_t handle, int& index, IoError& why)
{
    auto it = g_bank.handles.find(handle);
    if (it == g_bank.handles.end()) {
        why = IoError::InvalidHandle;
        return nullptr;
    }
    Slot& s = g_bank.slots[it->second.index];
    if (!s.device || !s.connected || s.generation != it->second.generation) {
        why = IoError::NotConnected;
        return nullptr;
    }
    index = it->second.index;
    return s.device.get();
}

bool closeHandle(intptr_t handle) { return g_bank.handles.erase(handle) != 0; }

void settlePendingDisconnect(int index)
{
    Device* d = deviceAt(index);
    if (d && d->disconnectPending()) {
        d->clearDisconnectPending();
        markDisconnected(g_bank.slots[index]);
    }
}

} // namespace scansim
