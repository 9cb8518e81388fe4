// Pointer and keys as a user gives them: everything goes through SendInput, so it
// passes the platform's hit testing, activation, focus changes and capture on its
// way to a window, exactly like a real mouse or keyboard. The input is queued:
// the windows see it when their thread next reads its messages.
#pragma once

#include <windows.h>

namespace user_input {

inline bool Send(INPUT* inputs, UINT count)
{
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

inline INPUT Mouse(DWORD flags, LONG dx = 0, LONG dy = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    return input;
}

// Moves the pointer to a screen point; true when it got there.
inline bool PointerTo(POINT screen)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (width < 2 || height < 2)
        return false;
    // Absolute coordinates are 0..65535 across the primary screen.
    INPUT move = Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE,
                       static_cast<LONG>((screen.x * 65535LL + (width - 1) / 2) / (width - 1)),
                       static_cast<LONG>((screen.y * 65535LL + (height - 1) / 2) / (height - 1)));
    if (!Send(&move, 1))
        return false;
    POINT at;
    GetCursorPos(&at);
    if (at.x != screen.x || at.y != screen.y) {
        // Rounding of the scaled coordinates: finish with a relative step.
        INPUT step = Mouse(MOUSEEVENTF_MOVE, screen.x - at.x, screen.y - at.y);
        Send(&step, 1);
        GetCursorPos(&at);
    }
    return at.x == screen.x && at.y == screen.y;
}

inline bool LeftDown()
{
    INPUT down = Mouse(MOUSEEVENTF_LEFTDOWN);
    return Send(&down, 1);
}

inline bool LeftUp()
{
    INPUT up = Mouse(MOUSEEVENTF_LEFTUP);
    return Send(&up, 1);
}

inline bool RightClick()
{
    INPUT click[2] = {Mouse(MOUSEEVENTF_RIGHTDOWN), Mouse(MOUSEEVENTF_RIGHTUP)};
    return Send(click, 2);
}

inline POINT CentreOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// A left click at a screen point.
inline bool ClickAt(POINT screen)
{
    return PointerTo(screen) && LeftDown() && LeftUp();
}

// A left click at the centre of a window (a control, a button).
inline bool Click(HWND window)
{
    return window && ClickAt(CentreOf(window));
}

// Presses the left button at `from`, moves to `to` in a few steps and lets go.
inline bool Drag(POINT from, POINT to, int steps = 4)
{
    if (!PointerTo(from) || !LeftDown())
        return false;
    bool moved = true;
    for (int i = 1; i <= steps; ++i) {
        const POINT p = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        moved = PointerTo(p) && moved;
    }
    return LeftUp() && moved;
}

// A key pressed and released.
inline bool Key(WORD virtualKey)
{
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return Send(keys, 2);
}

}  // namespace user_input
