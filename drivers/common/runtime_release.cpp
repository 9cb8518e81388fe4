// Linked into every module the host loads and unloads (kestrel.ds and the driver
// modules). The C++ runtime, the gcc runtime and the threads library are linked
// statically, so each module has its own copy of each, and two of those copies
// keep something for good as the module loads unless this file hands it back.
#include <sched.h>

namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

// The C++ runtime allocates a reserve for throwing exceptions when memory is short
// (about 70 KiB) as the module loads and never frees it: a host that loads and
// unloads the module once per session loses that much every time. This object is
// destroyed as the module unloads and hands the reserve back; nothing of this module
// can throw any more by then.
struct RuntimeReserveRelease {
    ~RuntimeReserveRelease() { __gnu_cxx::__freeres(); }
} g_runtimeReserveRelease;

} // namespace

// The threads library's pthread_once records its caller in a per-thread block (a
// duplicated thread handle, an event, a TLS slot) that it never frees when the module
// unloads. The 32-bit unwinder registers the module's frame tables through
// pthread_once as the module loads, so each load and unload of a module left two
// handles and a TLS slot behind, and a host that loads a source a thousand times runs
// out of TLS slots. The link sends every pthread_once of the module here instead
// (-Wl,--wrap=pthread_once): the same guarantee, nothing recorded.
extern "C" int __wrap_pthread_once(long* once, void (*init)(void))
{
    enum : long { NOT_RUN, RUNNING, DONE };
    long expected = NOT_RUN;
    if (__atomic_compare_exchange_n(once, &expected, long(RUNNING), false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        try {
            init();
        } catch (...) {
            __atomic_store_n(once, long(NOT_RUN), __ATOMIC_RELEASE); // the next caller tries again
            throw;
        }
        __atomic_store_n(once, long(DONE), __ATOMIC_RELEASE);
        return 0;
    }
    while (__atomic_load_n(once, __ATOMIC_ACQUIRE) != DONE) {
        if (__atomic_load_n(once, __ATOMIC_ACQUIRE) == NOT_RUN) // the first caller's init threw
            return __wrap_pthread_once(once, init);
        sched_yield();
    }
    return 0;
}
