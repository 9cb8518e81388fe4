// Linked into every module the host loads and unloads (kestrel.ds and the driver
// modules). The C++ runtime is linked statically, so each module has its own
// copy, and that copy allocates a reserve for throwing exceptions when memory is
// short (about 70 KiB) as the module loads and never frees it: a host that loads
// and unloads the module once per session loses that much every time. This
// object is destroyed as the module unloads and hands the reserve back; nothing
// of this module can throw any more by then.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct RuntimeReserveRelease {
    ~RuntimeReserveRelease() { __gnu_cxx::__freeres(); }
} g_runtimeReserveRelease;

} // namespace
