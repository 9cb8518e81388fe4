// The settings window: a modal property sheet with the Custom Setting, Information
// and Language pages, which ends with a result number for the enable handler.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Result numbers of the window.
enum {
    SETTINGS_RESULT_CANCEL  = -1,    // cancel command: page Cancel, close box, Escape
    SETTINGS_RESULT_NOTHING = 0,     // accept on the Information page
    SETTINGS_RESULT_SCAN    = 1000,  // accept on the Custom Setting page
    // 1210..1217: accept on the Language page, the language chosen
};

// Page indexes, in tab order.
enum { PAGE_CUSTOM = 0, PAGE_INFO = 1, PAGE_LANGUAGE = 2, PAGE_COUNT = 3 };

// Paper latch values.
enum { LATCH_UNKNOWN = 99, LATCH_NO_PAPER = 0, LATCH_PAPER = 1 };

#define kMainSection  "MAIN"
#define kLanguageKey  "Language"
#define kDefaultProfileName "Fenwick.INI"

// Builds the settings window with `caption` (not translated), owned by `parent`,
// showing page `startPage` first, runs it modally and returns its result number.
int RunSettingsWindow(const char* caption, HWND parent, int startPage);

// The profile file the data source reads and writes now.
const char* ProfileInUse();

// The help file the context-help popups come from.
const char* HelpFileInUse();

// Reads "MAIN"/"Language" from the profile in use into LanguageId and returns it.
// A missing key, or a number that is not an interface language, gives English.
int ReadInterfaceLanguage();

// Stores `languageId` under "MAIN"/"Language" in the profile in use.
void WriteInterfaceLanguage(int languageId);

// One paper poll: the latch after the sensor answered `paperOn`, and whether the
// sheet that was just inserted is to be taken in (IO_FeedOn).
int NextPaperLatch(int latch, bool paperOn, bool* feed);

class CustomSettingPage;
class InfoPage;
class LanguagePage;

class SettingsSheet {
public:
    SettingsSheet(const char* caption, HWND parent, int startPage);
    ~SettingsSheet();
    SettingsSheet(const SettingsSheet&) = delete;
    SettingsSheet& operator=(const SettingsSheet&) = delete;

    // Runs the window until a command ends it; returns the result number.
    int DoModal();

    HWND Window() const { return hwnd_; }

    // Index of the page in front, -1 before the window exists.
    int ActivePageIndex() const;

private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreated(HWND window);
    void OnFirstShown();
    void PollPaper();
    void Accept();
    void EndWindow(int result);

    std::wstring caption_;
    HWND parent_;
    int startPage_;
    std::wstring titles_[PAGE_COUNT];
    std::unique_ptr<CustomSettingPage> custom_;
    std::unique_ptr<InfoPage> info_;
    std::unique_ptr<LanguagePage> language_;

    HWND hwnd_ = nullptr;
    WNDPROC sheetProc_ = nullptr;
    bool shown_ = false;
    int paperLatch_ = LATCH_UNKNOWN;
    int result_ = SETTINGS_RESULT_CANCEL;
};
