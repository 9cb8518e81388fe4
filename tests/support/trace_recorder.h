// Collects the texts the data source passes to its trace hook and the message
// boxes it shows, for the duration of one test.
#pragma once

#include <string>
#include <vector>

#include "twain/trace.h"
#include "ui/message_box.h"

struct ShownMessage {
    std::string text;
    std::string title;
    unsigned type;
};

class TraceRecorder {
public:
    TraceRecorder()
    {
        Traces().clear();
        Messages().clear();
        SetTraceObserver([](const char* text) { Traces().push_back(text); });
        SetMessageBoxHook([](HWND, const char* text, const char* title, UINT type) {
            Messages().push_back({text ? text : "", title ? title : "", type});
            return AnswerForMessages();
        });
    }
    ~TraceRecorder()
    {
        SetTraceObserver(nullptr);
        SetMessageBoxHook(nullptr);
    }

    static std::vector<std::string>& Traces()
    {
        static std::vector<std::string> traces;
        return traces;
    }
    static std::vector<ShownMessage>& Messages()
    {
        static std::vector<ShownMessage> messages;
        return messages;
    }
    // The button a recorded message box "returns".
    static int& AnswerForMessages()
    {
        static int answer = IDOK;
        return answer;
    }
};
