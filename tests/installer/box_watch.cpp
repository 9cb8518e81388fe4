// box_watch SECONDS [COUNT]: answers the message boxes of other processes as a user
// would, pressing OK, until COUNT boxes (default 1) were seen or SECONDS passed;
// prints each box's text on a line of its own. Ends with 0 when COUNT boxes came.
// The installer test uses it to read what the source tells a user.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static BOOL CALLBACK FindBox(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (process != GetCurrentProcessId() && strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? atoi(argv[1]) : 30;
    const int wanted = argc > 2 ? atoi(argv[2]) : 1;
    int seen = 0;
    HWND last = nullptr;
    for (int waited = 0; waited < seconds * 1000 && seen < wanted; waited += 100) {
        HWND box = nullptr;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box && box != last) {
            char text[1024] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            for (char* c = text; *c; ++c)
                if (*c == '\n' || *c == '\r')
                    *c = ' ';
            printf("%s\n", text);
            fflush(stdout);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            last = box;
            ++seen;
        }
        Sleep(100);
    }
    if (seen < wanted)
        fprintf(stderr, "box_watch: %d of %d message boxes within %d s\n", seen, wanted, seconds);
    return seen < wanted ? 1 : 0;
}
