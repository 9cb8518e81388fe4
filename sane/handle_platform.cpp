#include "handle_platform.h"

#include <string.h>
#include <string>

namespace kestrel_sane {

namespace {

using namespace platform;

HandlePlatform& Self(void* context) { return *static_cast<HandlePlatform*>(context); }
const UsbOps& Usb(void* context) { return Self(context).posix.platform.usb; }
const SettingsOps& Settings(void* context) { return Self(context).posix.platform.settings; }

// --- USB: the handle's device alone ------------------------------------------------

int Enumerate(void* context, UsbIdFilter accept, UsbDeviceRef* out, int most)
{
    UsbDeviceRef all[USB_MOST_DEVICES];
    const int n = Usb(context).enumerate(Usb(context).context, accept, all, USB_MOST_DEVICES);
    for (int i = 0; i < n; ++i)
        if (most > 0 && strcmp(all[i].path, Self(context).device.path) == 0) {
            out[0] = all[i];
            return 1;
        }
    return 0;
}

UsbHandle Open(void* context, const UsbDeviceRef& device) { return Usb(context).open(Usb(context).context, device); }

bool Descriptor(void* context, UsbHandle device, UsbDescriptor* out)
{
    return Usb(context).descriptor(Usb(context).context, device, out);
}

bool Write(void* context, UsbHandle device, const void* data, uint32_t size, uint32_t* written)
{
    return Usb(context).write(Usb(context).context, device, data, size, written);
}

bool Read(void* context, UsbHandle device, void* buffer, uint32_t size, uint32_t* received)
{
    return Usb(context).read(Usb(context).context, device, buffer, size, received);
}

void Close(void* context, UsbHandle device) { Usb(context).close(Usb(context).context, device); }

// --- settings: the user's copy over the system's --------------------------------------

// The user's copy of the settings file at `path`: the same name in the data folder.
std::string UserCopy(void* context, const char* path)
{
    const char* slash = strrchr(path, '/');
    const std::string& folder = Self(context).posix.options.dataFolder;
    return folder.empty() ? std::string() : folder + "/" + (slash ? slash + 1 : path);
}

int ReadInt(void* context, const char* path, const char* section, const char* key, int fallback)
{
    const SettingsOps& s = Settings(context);
    const int system = s.readInt(s.context, path, section, key, fallback);
    const std::string user = UserCopy(context, path);
    return user.empty() ? system : s.readInt(s.context, user.c_str(), section, key, system);
}

size_t ReadText(void* context, const char* path, const char* section, const char* key, const char* fallback,
                char* out, size_t size)
{
    const SettingsOps& s = Settings(context);
    const std::string user = UserCopy(context, path);
    if (user.empty() || size == 0)
        return s.readText(s.context, path, section, key, fallback, out, size);
    std::string system(size, '\0');
    s.readText(s.context, path, section, key, fallback, &system[0], size);
    return s.readText(s.context, user.c_str(), section, key, system.c_str(), out, size);
}

bool WriteSetting(void* context, const char* path, const char* section, const char* key, const char* value)
{
    const std::string user = UserCopy(context, path);
    const FileOps& files = Self(context).posix.platform.files;
    if (user.empty() || !files.ensureFolder(files.context, DataPlace::DriverFolder))
        return false;
    const SettingsOps& s = Settings(context);
    return s.write(s.context, user.c_str(), section, key, value);
}

} // namespace

void InitHandlePlatform(HandlePlatform* hp, const platform::PosixOptions& options,
                        const platform::UsbDeviceRef& device)
{
    InitPosixPlatform(&hp->posix, options);
    hp->device = device;
    hp->platform = hp->posix.platform;
    hp->platform.usb = UsbOps{hp, Enumerate, Open, Descriptor, Write, Read, Close};
    hp->platform.settings = SettingsOps{hp, ReadInt, ReadText, WriteSetting};
}

} // namespace kestrel_sane
