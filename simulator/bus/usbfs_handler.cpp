#include "usbfs_handler.h"

#include "control_requests.h"
#include "scansim.h"
#include "usb_descriptors.h"

#include <dirent.h>
#include <errno.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <stddef.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace bus {

namespace {

struct Client;

struct Port {
    BusDevice device;
    Client* claimant = nullptr; // holder of interface 0
};

struct Client {
    UMockdevIoctlClient* peer = nullptr;
    Port* port = nullptr;
    int socket = -1;        // this end of the client's connection, -1 when not found
    ino_t socketInode = 0;  // tells that socket from a later one that reuses its number
    intptr_t simulator = 0; // 0: the device was gone when the node was opened
    bool vanished = false;  // the device went away under this client
    std::deque<UMockdevIoctlData*> reapable; // completed URBs, oldest first (references held)
};

// usbfs's own limit (usbfs_memory_mb): a larger transfer is refused with ENOMEM.
const uint32_t MOST_TRANSFER_BYTES = 16u << 20;

struct Answer {
    long result;
    int error;
};
const Answer DONE = {0, 0};
Answer failed(int error) { return {-1, error}; }
// A byte count or -errno as the ioctl's answer.
Answer counted(long n) { return n < 0 ? failed(int(-n)) : Answer{n, 0}; }

struct Call {
    Client& client;
    UMockdevIoctlData* arg;
};

// A copy of the client's memory that the argument points at (written back when the
// request completes), released with the call; null when the client passed null or is gone.
struct Resolved {
    UMockdevIoctlData* data;
    Resolved(UMockdevIoctlData* parent, size_t offset, size_t size)
        : data(size ? umockdev_ioctl_data_resolve(parent, offset, size, nullptr) : nullptr) {}
    ~Resolved() { if (data) g_object_unref(data); }
    Resolved(const Resolved&) = delete;
    template <typename T> T* as() const { return data ? reinterpret_cast<T*>(data->data) : nullptr; }
};

bool deviceGone(Client& c)
{
    ScanSimStatus st;
    if (!c.vanished && (!c.simulator || !scansim_get_status(c.port->device.index, &st) || !st.connected))
        c.vanished = true;
    return c.vanished;
}

// The client closed the node or died. umockdev 0.17 notices a close only between
// requests and tells nobody (its stream's "closed" is never notified); a client
// killed while it waited for an answer it never notices at all. The socket knows.
bool gone(const Client& c)
{
    if (!umockdev_ioctl_client_get_connected(c.peer))
        return true;
    if (c.socket < 0)
        return false;
    struct stat now;
    if (fstat(c.socket, &now) != 0 || now.st_ino != c.socketInode)
        return true; // umockdev closed it, and the number may already be another client's
    pollfd p = {c.socket, POLLRDHUP, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// The connection umockdev has just accepted: the one socket of this process whose
// peer is another process, that is still open at the far end and not yet a client's.
// Sockets are known by inode: a closed client's number is soon reused.
int newClientSocket(const std::set<ino_t>& known, ino_t* inode)
{
    int found = -1;
    DIR* fds = opendir("/proc/self/fd");
    for (dirent* e; fds && (e = readdir(fds));) {
        const int fd = atoi(e->d_name);
        ucred peer = {};
        socklen_t size = sizeof peer;
        pollfd p = {fd, POLLRDHUP, 0};
        struct stat st;
        if (e->d_name[0] != '.' && fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode) && !known.count(st.st_ino) &&
            getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0 && peer.pid != getpid() &&
            poll(&p, 1, 0) == 0) {
            found = fd;
            *inode = st.st_ino;
        }
    }
    if (fds)
        closedir(fds);
    return found;
}

// A holder that is gone or whose device went away no longer counts.
bool heldByAnother(const Client& c)
{
    const Client* holder = c.port->claimant;
    return holder && holder != &c && !holder->vanished && !gone(*holder);
}

// Interface 0 for the caller: usbfs lets a free interface be taken implicitly by a transfer.
int claimFor(Client& c)
{
    if (heldByAnother(c))
        return EBUSY;
    c.port->claimant = &c;
    return 0;
}

// The simulator's failure as usbfs reports it: a vanished device, else a wire error.
long simulatorFailure(Client& c, int error)
{
    if (error != ENODEV)
        return -EPROTO;
    c.vanished = true;
    return -ENODEV;
}

// One bulk transfer: bytes moved or -errno.
long bulk(Client& c, unsigned endpoint, uint8_t* data, uint32_t size)
{
    if (endpoint != SCANNER_BULK_IN && endpoint != SCANNER_BULK_OUT)
        return -ENOENT;
    if (int busy = claimFor(c))
        return -busy;
    uint32_t done = 0;
    errno = 0;
    const bool ok = endpoint == SCANNER_BULK_IN ? scansim_io_read(c.simulator, data, size, &done)
                                                : scansim_io_write(c.simulator, data, size, &done);
    return ok ? long(done) : simulatorFailure(c, errno);
}

// One control transfer: the data stage's bytes or -errno (-EPIPE: the device stalled).
long control(Client& c, const SetupPacket& setup, uint8_t* data, uint32_t room)
{
    if (setup.length > room)
        return -EINVAL;
    ControlResult r = AnswerControl(setup, c.simulator);
    if (r.error)
        return r.error == EPIPE ? -EPIPE : simulatorFailure(c, r.error);
    if (!(setup.requestType & USB_DIR_IN))
        return setup.length;
    std::copy(r.data.begin(), r.data.end(), data);
    return long(r.data.size());
}

Answer capabilities(Call& c)
{
    Resolved caps(c.arg, 0, sizeof(uint32_t));
    if (!caps.data)
        return failed(EFAULT);
    // One URB per transfer, whatever its size; reaping goes on after a disconnect.
    *caps.as<uint32_t>() = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER |
                           USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
    return DONE;
}

// The value the argument points at (the whole of it, or its first member); false when
// the client's memory cannot be read.
template <typename T>
bool valueOf(const Call& c, T& value)
{
    Resolved r(c.arg, 0, sizeof(T));
    if (r.data)
        value = *r.as<T>();
    return r.data != nullptr;
}

// Also USBDEVFS_DISCONNECT_CLAIM, whose structure starts with the interface number.
Answer claimInterface(Call& c)
{
    unsigned number = 0;
    if (!valueOf(c, number))
        return failed(EFAULT);
    if (number != SCANNER_INTERFACE)
        return failed(ENOENT);
    int busy = claimFor(c.client);
    return busy ? failed(busy) : DONE;
}

Answer releaseInterface(Call& c)
{
    unsigned number = 0;
    if (!valueOf(c, number))
        return failed(EFAULT);
    if (number != SCANNER_INTERFACE || c.client.port->claimant != &c.client)
        return failed(EINVAL);
    c.client.port->claimant = nullptr;
    return DONE;
}

Answer setInterface(Call& c)
{
    usbdevfs_setinterface set = {};
    if (!valueOf(c, set))
        return failed(EFAULT);
    return set.interface == SCANNER_INTERFACE && set.altsetting == 0 ? DONE : failed(EINVAL);
}

Answer setConfiguration(Call& c)
{
    int value = 0;
    if (!valueOf(c, value))
        return failed(EFAULT);
    if (value != SCANNER_CONFIGURATION)
        return failed(EINVAL);
    return heldByAnother(c.client) ? failed(EBUSY) : DONE;
}

Answer accept(Call&) { return DONE; }

// No kernel driver is bound to the scanner's interface.
Answer noKernelDriver(Call&) { return failed(ENODATA); }

Answer connectInfo(Call& c)
{
    Resolved info(c.arg, 0, sizeof(usbdevfs_connectinfo));
    if (!info.data)
        return failed(EFAULT);
    *info.as<usbdevfs_connectinfo>() = usbdevfs_connectinfo{c.client.port->device.address, 0};
    return DONE;
}

Answer controlIoctl(Call& c)
{
    Resolved t(c.arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!t.data)
        return failed(EFAULT);
    usbdevfs_ctrltransfer* x = t.as<usbdevfs_ctrltransfer>();
    const SetupPacket setup = {x->bRequestType, x->bRequest, x->wValue, x->wIndex, x->wLength};
    Resolved data(t.data, offsetof(usbdevfs_ctrltransfer, data), x->wLength);
    if (x->wLength && !data.data)
        return failed(EFAULT);
    return counted(control(c.client, setup, data.as<uint8_t>(), x->wLength));
}

Answer bulkIoctl(Call& c)
{
    Resolved t(c.arg, 0, sizeof(usbdevfs_bulktransfer));
    if (!t.data)
        return failed(EFAULT);
    usbdevfs_bulktransfer* x = t.as<usbdevfs_bulktransfer>();
    if (x->len > MOST_TRANSFER_BYTES)
        return failed(ENOMEM);
    Resolved data(t.data, offsetof(usbdevfs_bulktransfer, data), x->len);
    if (x->len && !data.data)
        return failed(EFAULT);
    return counted(bulk(c.client, x->ep, data.as<uint8_t>(), x->len));
}

// Carries out a submitted URB at once: its bytes, or -errno.
long runUrb(Client& c, const usbdevfs_urb& urb, uint8_t* data)
{
    switch (urb.type) {
    case USBDEVFS_URB_TYPE_CONTROL:
        if (urb.endpoint != 0 || urb.buffer_length < 8)
            return -EINVAL;
        return control(c, ParseSetup(data), data + 8, uint32_t(urb.buffer_length - 8));
    case USBDEVFS_URB_TYPE_BULK:
        return bulk(c, urb.endpoint, data, uint32_t(urb.buffer_length));
    default:
        return -EINVAL; // the scanner has no isochronous or interrupt endpoints
    }
}

Answer submitUrb(Call& c)
{
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(c.arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urbData)
        return failed(EFAULT);
    usbdevfs_urb* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->buffer_length > int(MOST_TRANSFER_BYTES)) {
        g_object_unref(urbData);
        return failed(ENOMEM);
    }
    Resolved buffer(urbData, offsetof(usbdevfs_urb, buffer), size_t(std::max(urb->buffer_length, 0)));
    long n = urb->buffer_length < 0 || (urb->buffer_length && !buffer.data)
                 ? -EFAULT
                 : runUrb(c.client, *urb, buffer.as<uint8_t>());
    // A stall or a wire error completes the URB; anything else refuses the submission.
    if (n < 0 && n != -EPIPE && n != -EPROTO) {
        g_object_unref(urbData);
        return failed(int(-n));
    }
    urb->status = n < 0 ? int(n) : 0;
    urb->actual_length = n < 0 ? 0 : int(n);
    c.client.reapable.push_back(urbData);
    return DONE;
}

Answer reapUrb(Call& c)
{
    if (c.client.reapable.empty())
        return failed(c.client.vanished ? ENODEV : EAGAIN);
    Resolved where(c.arg, 0, sizeof(void*));
    if (!where.data)
        return failed(EFAULT);
    UMockdevIoctlData* urbData = c.client.reapable.front();
    c.client.reapable.pop_front();
    umockdev_ioctl_data_set_ptr(where.data, 0, urbData); // the client's pointer to its own URB
    g_object_unref(urbData);
    return DONE;
}

// Every URB has completed by the time its submission returns: nothing left to cancel.
Answer discardUrb(Call&) { return failed(EINVAL); }

struct UsbfsRequest {
    unsigned long request;
    const char* name;
    bool afterVanishing; // reaping goes on after a disconnect, as in usbfs
    Answer (*answer)(Call&);
};

const UsbfsRequest kRequests[] = {
    {USBDEVFS_GET_CAPABILITIES, "GET_CAPABILITIES", false, capabilities},
    {USBDEVFS_CLAIMINTERFACE, "CLAIMINTERFACE", false, claimInterface},
    {USBDEVFS_DISCONNECT_CLAIM, "DISCONNECT_CLAIM", false, claimInterface},
    {USBDEVFS_RELEASEINTERFACE, "RELEASEINTERFACE", false, releaseInterface},
    {USBDEVFS_SETINTERFACE, "SETINTERFACE", false, setInterface},
    {USBDEVFS_SETCONFIGURATION, "SETCONFIGURATION", false, setConfiguration},
    {USBDEVFS_CLEAR_HALT, "CLEAR_HALT", false, accept},
    {USBDEVFS_RESETEP, "RESETEP", false, accept},
    {USBDEVFS_RESET, "RESET", false, accept},
    {USBDEVFS_GETDRIVER, "GETDRIVER", false, noKernelDriver},
    {USBDEVFS_IOCTL, "IOCTL", false, noKernelDriver},
    {USBDEVFS_CONNECTINFO, "CONNECTINFO", false, connectInfo},
    {USBDEVFS_CONTROL, "CONTROL", false, controlIoctl},
    {USBDEVFS_BULK, "BULK", false, bulkIoctl},
    {USBDEVFS_SUBMITURB, "SUBMITURB", false, submitUrb},
    {USBDEVFS_REAPURB, "REAPURB", true, reapUrb},
    {USBDEVFS_REAPURBNDELAY, "REAPURBNDELAY", true, reapUrb},
    {USBDEVFS_DISCARDURB, "DISCARDURB", false, discardUrb},
};

const UsbfsRequest* findRequest(unsigned long request)
{
    for (const UsbfsRequest& r : kRequests)
        if (r.request == request)
            return &r;
    return nullptr;
}

} // namespace

// How often clients that are gone are looked for (see gone()).
const guint SWEEP_MS = 50;

struct UsbfsHandler::State {
    std::map<std::string, Port> ports; // by device node
    std::map<UMockdevIoctlClient*, std::unique_ptr<Client>> clients;
    std::set<ino_t> clientSockets; // by inode
    // Clients killed during a request: umockdev never closes their streams and
    // complains when such a client is freed, so they are kept to the end.
    std::vector<UMockdevIoctlClient*> abandoned;
    GSource* sweeper = nullptr; // on the worker's context, from the first client on
    bool trace = false;

    Client* clientOf(UMockdevIoctlClient* peer)
    {
        auto it = clients.find(peer);
        return it == clients.end() ? nullptr : it->second.get();
    }

    void forget(Client& c)
    {
        if (c.port->claimant == &c)
            c.port->claimant = nullptr;
        for (UMockdevIoctlData* urb : c.reapable)
            g_object_unref(urb);
        if (c.simulator)
            scansim_io_close(c.simulator);
        clientSockets.erase(c.socketInode);
        UMockdevIoctlClient* peer = c.peer;
        clients.erase(peer);
        if (umockdev_ioctl_client_get_connected(peer))
            abandoned.push_back(peer);
        else
            g_object_unref(peer);
    }
};

namespace {

// Clients that closed the node or died: their claims, URBs and handles go.
gboolean sweepClosedClients(gpointer self)
{
    auto* state = static_cast<UsbfsHandler::State*>(self);
    std::vector<Client*> closed;
    for (const auto& c : state->clients)
        if (gone(*c.second))
            closed.push_back(c.second.get());
    for (Client* c : closed)
        state->forget(*c);
    return G_SOURCE_CONTINUE;
}

void onClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* peer, gpointer self)
{
    auto* state = static_cast<UsbfsHandler::State*>(self);
    auto port = state->ports.find(umockdev_ioctl_client_get_devnode(peer));
    if (port == state->ports.end())
        return;
    std::unique_ptr<Client> c(new Client());
    c->peer = peer;
    c->port = &port->second;
    char name[32];
    snprintf(name, sizeof name, "\\\\.\\usbscan%d", port->second.device.index);
    c->simulator = scansim_io_open(name); // an open try: a vanished device may return at one
    c->vanished = c->simulator == 0;
    c->socket = newClientSocket(state->clientSockets, &c->socketInode);
    if (c->socket >= 0)
        state->clientSockets.insert(c->socketInode);
    g_object_ref(peer);
    state->clients[peer] = std::move(c);
    if (!state->sweeper) {
        state->sweeper = g_timeout_source_new(SWEEP_MS);
        g_source_set_callback(state->sweeper, sweepClosedClients, state, nullptr);
        g_source_attach(state->sweeper, g_main_context_get_thread_default());
    }
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* peer, gpointer self)
{
    auto* state = static_cast<UsbfsHandler::State*>(self);
    Client* c = state->clientOf(peer);
    if (!c)
        return FALSE;
    const unsigned long request = umockdev_ioctl_client_get_request(peer);
    const UsbfsRequest* r = findRequest(request);
    Call call = {*c, umockdev_ioctl_client_get_arg(peer)};
    Answer a = !r                                         ? failed(ENOTTY)
               : !r->afterVanishing && deviceGone(*c) ? failed(ENODEV)
                                                          : r->answer(call);
    if (state->trace)
        fprintf(stderr, "scansim-bus: %s %s -> %ld%s%s\n", c->port->device.node.c_str(),
                r ? r->name : "(unknown ioctl)", a.result, a.error ? " " : "", a.error ? strerror(a.error) : "");
    umockdev_ioctl_client_complete(peer, a.result, a.error);
    return TRUE;
}

} // namespace

UsbfsHandler::UsbfsHandler(const std::vector<BusDevice>& devices, bool trace)
    : handler_(umockdev_ioctl_base_new()), state_(new State)
{
    state_->trace = trace;
    for (const BusDevice& d : devices)
        state_->ports[d.node] = Port{d};
    g_signal_connect(handler_, "client-connected", G_CALLBACK(onClientConnected), state_.get());
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(onIoctl), state_.get());
}

UsbfsHandler::~UsbfsHandler()
{
    g_signal_handlers_disconnect_by_data(handler_, state_.get());
    if (state_->sweeper) {
        g_source_destroy(state_->sweeper);
        g_source_unref(state_->sweeper);
    }
    while (!state_->clients.empty())
        state_->forget(*state_->clients.begin()->second);
    g_object_unref(handler_);
    // state_->abandoned stays: the process ends.
}

bool UsbfsHandler::attach(UMockdevTestbed* testbed, std::string& error)
{
    for (const auto& port : state_->ports) {
        GError* e = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, port.first.c_str(), handler_, &e)) {
            error = "cannot answer " + port.first + ": " + (e ? e->message : "umockdev refused");
            g_clear_error(&e);
            return false;
        }
    }
    return true;
}

} // namespace bus
