#include "ui/message_box.h"

#include <string>

#include "ui/text_table.h"

static MessageBoxHook g_messageBoxHook = nullptr;

// Texts are bytes of the current interface language's code page; the wide
// message box shows them right whatever the system's ANSI code page is.
static std::wstring Widen(const char* text)
{
    if (!text)
        return std::wstring();
    const UINT codePage = LanguageCodePage(LanguageId);
    int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(owner, text, title, type);
    return MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(), type);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    g_messageBoxHook = hook;
}
