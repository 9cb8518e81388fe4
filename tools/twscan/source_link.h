// The road from the host to a data source: through a Source Manager DLL's
// DSM_Entry, or through our own minimal manager that loads the .ds directly.
#pragma once

#include <string>
#include <vector>

#include "twain/twain.h"

class SourceLink {
public:
    virtual ~SourceLink() = default;

    // Opens the manager and the source. `parent` is the host's window.
    virtual bool Open(HWND parent, std::string* error) = 0;
    // Closes the source (if open) and the manager.
    virtual void Close() = 0;
    // The identities of every source the manager knows (not opened).
    virtual bool ListSources(std::vector<TW_IDENTITY>* sources, std::string* error) = 0;
    // Sends a triplet to the open source.
    virtual TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) = 0;

    // The condition code of the last failure (DAT_STATUS).
    TW_UINT16 ConditionCode();

    const TW_IDENTITY& SourceIdentity() const { return source_; }

protected:
    explicit SourceLink(const std::string& hostName);
    TW_IDENTITY app_ = {};
    TW_IDENTITY source_ = {};
};

// Loads `dsPath` itself, assigns the source an Id and passes identities as a
// Source Manager does. `hostName` is the ProductName the host presents.
SourceLink* CreateDirectLink(const std::string& dsPath, const std::string& hostName);
// Uses the Source Manager in `dsmPath` (e.g. TWAINDSM.dll) and opens the source
// whose ProductName is `sourceName` (or the manager's default when empty).
SourceLink* CreateManagerLink(const std::string& dsmPath, const std::string& sourceName,
                              const std::string& hostName);
