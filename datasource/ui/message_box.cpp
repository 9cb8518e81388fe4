#include "ui/message_box.h"

#include "ui/text_table.h"

// Texts are bytes of the interface language's code page; the wide message box
// shows them right whatever the system's ANSI code page is.
static MessageBoxHook g_messageBoxHook = nullptr;

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(owner, text, title, type);
    return MessageBoxW(owner, WidenUiText(text).c_str(), WidenUiText(title).c_str(), type);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    g_messageBoxHook = hook;
}
