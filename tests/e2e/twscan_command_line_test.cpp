// twscan's command line as a user types it: --help prints the usage on standard
// output and succeeds; an unknown option prints the usage on standard error and
// ends with 2.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
};

std::string ReadAll(HANDLE file)
{
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

HANDLE TempFile()
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "tws", 0, path);
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

Outcome RunTwscan(const std::string& arguments)
{
    Outcome outcome;
    HANDLE out = TempFile(), err = TempFile();
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string command = "twscan.exe " + arguments;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        else
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    outcome.out = ReadAll(out);
    outcome.err = ReadAll(err);
    CloseHandle(out);
    CloseHandle(err);
    return outcome;
}

TEST(TwscanCommandLine, HelpPrintsTheUsageAndUnknownOptionsFailWithIt)
{
    for (const char* help : {"--help", "-h"}) {
        SCOPED_TRACE(help);
        const Outcome asked = RunTwscan(help);
        EXPECT_EQ(asked.exitCode, 0u);
        EXPECT_EQ(asked.out.rfind("usage: twscan", 0), 0u) << asked.out;
        EXPECT_NE(asked.out.find("--dsm PATH"), std::string::npos);
        EXPECT_EQ(asked.err, "");
    }
    const Outcome wrong = RunTwscan("--colour");
    EXPECT_EQ(wrong.exitCode, 2u);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err.rfind("twscan: unknown option --colour", 0), 0u) << wrong.err;
    EXPECT_NE(wrong.err.find("usage: twscan"), std::string::npos);
}

}  // namespace
