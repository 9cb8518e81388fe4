// Small stand-ins for the application-framework types that TBitmapFile's
// exported signatures name: a device context (CDC), a bitmap object (CBitmap),
// a file error (CFileException) and the open flags of a file (CFile).
//
// They are header-only so that a program using kestrel.ds compiles the same
// code and needs no further exports. Each keeps only what TBitmapFile and its
// callers use; the member names follow the framework's so that code written
// against it reads the same.
#pragma once

#include <windows.h>

// Open flags of a file, with the framework's values. TBitmapFile only reads, so
// it takes the share mode from these and ignores the access and create bits.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
};

// Why a file could not be opened: a cause from the framework's list and the
// operating system's error number. Filled in, never thrown.
class CFileException {
public:
    enum Cause : int {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, LONG osError) : m_cause(cause), m_lOsError(osError) {}

    // Maps a GetLastError value to the nearest cause.
    static int OsErrorToCause(LONG osError)
    {
        switch (osError) {
        case ERROR_SUCCESS: return none;
        case ERROR_FILE_NOT_FOUND: return fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE: return badPath;
        case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
        case ERROR_ACCESS_DENIED: return accessDenied;
        case ERROR_INVALID_HANDLE: return invalidFile;
        case ERROR_SHARING_VIOLATION: return sharingViolation;
        case ERROR_LOCK_VIOLATION: return lockViolation;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL: return diskFull;
        case ERROR_HANDLE_EOF: return endOfFile;
        default: return genericException;
        }
    }

    int m_cause = none;
    LONG m_lOsError = 0;
};

// A device context handle in an object. Does not own the handle.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc) {}

    HDC GetSafeHdc() const { return m_hDC; }

    HDC m_hDC = nullptr;
};

// A bitmap handle in an object. Owns the attached handle: the destructor
// deletes whatever is still attached.
class CBitmap {
public:
    CBitmap() = default;
    ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    BOOL Attach(HGDIOBJ object)
    {
        if (m_hObject || !object)
            return FALSE;
        m_hObject = object;
        return TRUE;
    }

    HGDIOBJ Detach()
    {
        HGDIOBJ object = m_hObject;
        m_hObject = nullptr;
        return object;
    }

    BOOL DeleteObject()
    {
        if (!m_hObject)
            return FALSE;
        HGDIOBJ object = Detach();
        return ::DeleteObject(object);
    }

    HBITMAP GetSafeHandle() const { return static_cast<HBITMAP>(m_hObject); }
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }

    HGDIOBJ m_hObject = nullptr;
};
