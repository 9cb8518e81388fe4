#include "source_link.h"

#include <string.h>

static void FillAppIdentity(TW_IDENTITY* app, const std::string& hostName)
{
    memset(app, 0, sizeof(*app));
    app->Version.MajorNum = 1;
    app->Version.MinorNum = 0;
    app->Version.Language = TWLG_USA;
    app->Version.Country = TWCY_USA;
    strcpy(app->Version.Info, "twscan 1.0");
    app->ProtocolMajor = 1;
    app->ProtocolMinor = 9;
    app->SupportedGroups = DG_CONTROL | DG_IMAGE;
    strcpy(app->Manufacturer, "Kestrel tools");
    strcpy(app->ProductFamily, "Command line");
    strncpy(app->ProductName, hostName.empty() ? "twscan" : hostName.c_str(),
            sizeof(app->ProductName) - 1);
}

SourceLink::SourceLink(const std::string& hostName)
{
    FillAppIdentity(&app_, hostName);
}

TW_UINT16 SourceLink::ConditionCode()
{
    TW_STATUS status = {};
    if (Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
        return TWCC_BUMMER;
    return status.ConditionCode;
}

namespace {

// Our own manager: one source, loaded from a file, Id 1; the host is Id 2.
class DirectLink : public SourceLink {
public:
    DirectLink(const std::string& path, const std::string& hostName)
        : SourceLink(hostName), path_(path) {}
    ~DirectLink() override { Close(); }

    bool Open(HWND, std::string* error) override
    {
        module_ = LoadLibraryA(path_.c_str());
        if (!module_) {
            *error = "cannot load the data source " + path_;
            return false;
        }
        entry_ = reinterpret_cast<DSENTRYPROC>(GetProcAddress(module_, "DS_Entry"));
        if (!entry_) {
            *error = path_ + " does not export DS_Entry";
            return false;
        }
        app_.Id = 2;
        if (entry_(&app_, DG_CONTROL, DAT_IDENTITY, MSG_GET, &source_) != TWRC_SUCCESS) {
            *error = "the data source does not tell its identity";
            return false;
        }
        source_.Id = 1;
        if (entry_(&app_, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_) != TWRC_SUCCESS) {
            *error = "the data source refused to open";
            return false;
        }
        open_ = true;
        return true;
    }

    bool ListSources(std::vector<TW_IDENTITY>* sources, std::string* error) override
    {
        HMODULE module = LoadLibraryA(path_.c_str());
        if (!module) {
            *error = "cannot load the data source " + path_;
            return false;
        }
        auto entry = reinterpret_cast<DSENTRYPROC>(GetProcAddress(module, "DS_Entry"));
        TW_IDENTITY identity = {};
        bool ok = entry && entry(&app_, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) == TWRC_SUCCESS;
        if (ok)
            sources->push_back(identity);
        else
            *error = entry ? "the data source does not tell its identity"
                           : path_ + " does not export DS_Entry";
        FreeLibrary(module);
        return ok;
    }

    void Close() override
    {
        if (open_)
            entry_(&app_, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
        open_ = false;
        if (module_)
            FreeLibrary(module_);
        module_ = nullptr;
        entry_ = nullptr;
    }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) override
    {
        return entry_ ? entry_(&app_, dg, dat, msg, data) : TWRC_FAILURE;
    }

private:
    std::string path_;
    HMODULE module_ = nullptr;
    DSENTRYPROC entry_ = nullptr;
    bool open_ = false;
};

// A real Source Manager.
class ManagerLink : public SourceLink {
public:
    ManagerLink(const std::string& path, const std::string& sourceName,
                const std::string& hostName)
        : SourceLink(hostName), path_(path), wanted_(sourceName) {}
    ~ManagerLink() override { Close(); }

    bool Open(HWND parent, std::string* error) override
    {
        if (!OpenManager(parent, error))
            return false;
        if (!FindSource()) {
            *error = "the Source Manager knows no source named \"" + wanted_ + "\"";
            return false;
        }
        if (entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_) != TWRC_SUCCESS) {
            *error = "the Source Manager could not open the source";
            return false;
        }
        sourceOpen_ = true;
        return true;
    }

    bool ListSources(std::vector<TW_IDENTITY>* sources, std::string* error) override
    {
        // The manager wants a window of the host; a hidden one serves.
        HWND window = CreateWindowA("STATIC", "twscan", 0, 0, 0, 0, 0, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        bool ok = OpenManager(window, error);
        if (ok) {
            TW_UINT16 msg = MSG_GETFIRST;
            TW_IDENTITY identity = {};
            while (entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, msg, &identity) == TWRC_SUCCESS) {
                sources->push_back(identity);
                msg = MSG_GETNEXT;
            }
        }
        Close();
        if (window)
            DestroyWindow(window);
        return ok;
    }

    void Close() override
    {
        if (sourceOpen_)
            entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
        sourceOpen_ = false;
        if (managerOpen_)
            entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent_);
        managerOpen_ = false;
        if (module_)
            FreeLibrary(module_);
        module_ = nullptr;
        entry_ = nullptr;
    }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) override
    {
        return entry_ ? entry_(&app_, &source_, dg, dat, msg, data) : TWRC_FAILURE;
    }

private:
    bool OpenManager(HWND parent, std::string* error)
    {
        module_ = LoadLibraryA(path_.c_str());
        if (!module_) {
            *error = "cannot load the Source Manager " + path_;
            return false;
        }
        entry_ = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(module_, "DSM_Entry"));
        if (!entry_) {
            *error = path_ + " does not export DSM_Entry";
            return false;
        }
        parent_ = parent;
        if (entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent_) != TWRC_SUCCESS) {
            *error = "the Source Manager did not open";
            return false;
        }
        managerOpen_ = true;
        return true;
    }

    bool FindSource()
    {
        if (wanted_.empty())
            return entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source_) ==
                   TWRC_SUCCESS;
        TW_UINT16 msg = MSG_GETFIRST;
        while (entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, msg, &source_) == TWRC_SUCCESS) {
            if (_stricmp(source_.ProductName, wanted_.c_str()) == 0)
                return true;
            msg = MSG_GETNEXT;
        }
        return false;
    }

    std::string path_, wanted_;
    HMODULE module_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    HWND parent_ = nullptr;
    bool managerOpen_ = false, sourceOpen_ = false;
};

}  // namespace

SourceLink* CreateDirectLink(const std::string& dsPath, const std::string& hostName)
{
    return new DirectLink(dsPath, hostName);
}

SourceLink* CreateManagerLink(const std::string& dsmPath, const std::string& sourceName,
                              const std::string& hostName)
{
    return new ManagerLink(dsmPath, sourceName, hostName);
}
