#include "ui/message_box.h"

static MessageBoxHook g_messageBoxHook = nullptr;

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(owner, text, title, type);
    return MessageBoxA(owner, text, title, type);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    g_messageBoxHook = hook;
}
