// The platform seam of the driver cores: the few services they need, one table of
// calls each with its contract. A core keeps a pointer to one Platform and calls
// nothing of the system directly. Every `context` is the implementation's own and is
// passed back as the first argument. Implementations: platform_win32 (today's Win32
// calls) and platform_posix.
#pragma once

#include "platform_usb.h"

#include <stddef.h>
#include <stdint.h>

namespace platform {

// The driver's settings file, an INI file of [sections] and key=value lines. Every
// read goes to the file, so edits take effect on the next call. Section and key
// names compare without case.
struct SettingsOps {
    void* context;
    // The value's leading decimal number with its sign (no number: 0); `fallback`
    // when the file, section or key is missing or the value is empty.
    int (*readInt)(void* context, const char* path, const char* section, const char* key, int fallback);
    // The value (or `fallback`) cut to size - 1 characters and terminated; returns the
    // characters copied. Nothing is written when size is 0.
    size_t (*readText)(void* context, const char* path, const char* section, const char* key,
                       const char* fallback, char* out, size_t size);
    // Sets one key, creating the file and the section when missing and keeping every
    // other line. False when the file cannot be written; the old file is then intact.
    bool (*write)(void* context, const char* path, const char* section, const char* key, const char* value);
};

// Where a data file lives; resolved per platform.
enum class DataPlace {
    DriverFolder, // Win32 <Windows>\twain_32\<driver>; POSIX the data folder
    Settings,     // the settings file's folder: Win32 the driver folder; POSIX the settings folder
    SharedData,   // Win32 the "Common AppData" folder, else the temporary folder; POSIX the data folder
    SystemFolder, // Win32 the Windows folder; POSIX the data folder
    Diagnostics   // Win32 "C:\"; POSIX only when a diagnostics folder was given
};

// How a data file is opened. Sharing is what other openers may do meanwhile
// (Win32 share modes; POSIX has no mandatory sharing and ignores it).
enum class FileMode {
    ReadShared,   // existing file, read; others may read and write
    Read,         // existing file, read; others may read
    Update,       // existing file, read and write; others may read
    CreateUpdate, // created or emptied, read and write; others may read
    CreateWrite   // created or emptied, write; nobody else
};

typedef struct DataFile* FileHandle;

struct Date {
    int year, month, day;
};

struct FileOps {
    void* context;
    // Full path of `name` in `place`; false when the place is unknown here or the path
    // does not fit the platform's limit (or `size`).
    bool (*resolve)(void* context, DataPlace place, const char* name, char* out, size_t size);
    // Creates the place's folder (and its parents) when missing; true when it exists.
    bool (*ensureFolder)(void* context, DataPlace place);
    // Null when the file cannot be opened so.
    FileHandle (*open)(void* context, const char* path, FileMode mode);
    bool (*size)(void* context, FileHandle file, uint64_t* bytes);
    // From the current position; *got: bytes read. False on a failed read.
    bool (*read)(void* context, FileHandle file, void* buffer, uint32_t size, uint32_t* got);
    // At the current position; true only when every byte was written.
    bool (*write)(void* context, FileHandle file, const void* data, uint32_t size);
    // Replaces the whole content with `data`; true only when done completely.
    bool (*rewrite)(void* context, FileHandle file, const void* data, uint32_t size);
    // The day of the last write, in UTC.
    bool (*modifiedDate)(void* context, FileHandle file, Date* utc);
    // Null is ignored.
    void (*close)(void* context, FileHandle file);
    // False when there was nothing to remove or it could not be removed.
    bool (*remove)(void* context, const char* path);
    // Appends lines ending in '\n' (written as the platform's text lines), creating the file.
    bool (*appendText)(void* context, const char* path, const char* text);
    // Lets every user of the machine rewrite the file (Win32: a null access list).
    void (*openToEveryUser)(void* context, const char* path);
};

struct ClockOps {
    void* context;
    // Blocks the calling thread for about `ms` milliseconds.
    void (*sleep)(void* context, uint32_t ms);
    // A millisecond counter that wraps; compare by unsigned difference.
    uint32_t (*milliseconds)(void* context);
    // Today in UTC.
    void (*today)(void* context, Date* utc);
};

// The cross-process lock of one device, named by UsbDeviceRef::lockKey (Win32 a named
// event; POSIX an advisory lock on a file named after the key).
typedef struct DeviceLockHandle* DeviceLock;

struct LockOps {
    void* context;
    // True while any holder, this process included, holds the lock. Never blocks.
    bool (*isHeld)(void* context, const char* key);
    // The lock, or null when it is held already or cannot be made. Never blocks.
    DeviceLock (*take)(void* context, const char* key);
    // Null is ignored.
    void (*release)(void* context, DeviceLock lock);
};

// Buttons of a message to the user, and the answer.
enum : unsigned { MESSAGE_OK = 0 };
enum : int { ANSWER_OK = 1 };

// Where diagnostic lines (and, on POSIX, messages) go.
typedef void (*LogHook)(const char* text);

struct MessageOps {
    void* context;
    // Tells the user `text`. Win32: a message box (or the hook a test set), blocking
    // until answered; returns the button pressed. POSIX: a log line; returns ANSWER_OK.
    int (*tell)(void* context, const char* text, const char* caption, unsigned buttons);
    // A diagnostic line; silent unless a log hook was set.
    void (*log)(void* context, const char* text);
    // Takes one pending input event of the calling thread and tells whether it was the
    // click that ends a test loop. Never blocks. POSIX: always true (nobody to click).
    bool (*stopClicked)(void* context);
};

struct Platform {
    UsbOps usb;
    SettingsOps settings;
    FileOps files;
    ClockOps clock;
    LockOps lock;
    MessageOps messages;
};

} // namespace platform
