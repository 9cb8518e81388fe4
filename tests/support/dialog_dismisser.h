// Watches for message boxes and dialogs of the test's own process and closes them
// with a chosen button, recording their texts. For code that shows a modal box
// the test cannot hook (a separately loaded module).
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DialogDismisser {
public:
    explicit DialogDismisser(int button = IDOK) : button_(button)
    {
        worker_ = std::thread([this] { Watch(); });
    }
    ~DialogDismisser()
    {
        stop_ = true;
        worker_.join();
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    struct Search {
        DWORD process;
        HWND found;
    };

    static BOOL CALLBACK FindBox(HWND window, LPARAM param)
    {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char cls[32] = "";
        GetClassNameA(window, cls, sizeof(cls));
        if (pid == s->process && strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
            GetDlgItem(window, 0xFFFF) != nullptr) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    }

    void Watch()
    {
        while (!stop_) {
            Search search = {GetCurrentProcessId(), nullptr};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                char text[1024] = "";
                GetDlgItemTextA(search.found, 0xFFFF, text, sizeof(text));
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(text);
                }
                PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
                Sleep(200);
            }
            Sleep(30);
        }
    }

    int button_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    std::mutex mutex_;
    std::vector<std::string> texts_;
};
