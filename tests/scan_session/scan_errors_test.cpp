// Scan result codes to messages, driver failure values to codes, and the log.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "scan/scan_errors.h"
#include "scan/scan_log.h"
#include "support/trace_recorder.h"
#include "ui/text_table.h"
#include "../misc/temp_file.h"

namespace {

std::string LogContents()
{
    std::vector<uint8_t> bytes = ReadBytes(kLogFilePath);
    return std::string(bytes.begin(), bytes.end());
}

class ScanErrors : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(kLogFilePath);
        LanguageId = LANGUAGE_ENGLISH;
    }
    void TearDown() override { LanguageId = LANGUAGE_ENGLISH; }
    TraceRecorder recorder;
};

TEST_F(ScanErrors, EveryFailureCodeHasItsEnglishMessage)
{
    const char* const machine =
        "Scanning is aborted due to scanner either not powered on or not connected to the PC "
        "properly.\n\nPlease check the hardware and try again.";
    const char* const expected[10] = {
        machine, machine, machine,
        "Scanning is aborted due to paper not feed properly!",
        "Scanning is aborted by user!",
        "Scanning is aborted due to no paper detected!",
        "Scanning is aborted due to paper jammed!",
        "Scanning is aborted due to out of disk space or disk damaged!",
        "Scanning is aborted due to I/O port busy!",
        "Scanning is aborted due to out of memory!",
    };
    for (int code = 0; code < 10; ++code) {
        char text[SCAN_MESSAGE_BUFFER_SIZE] = "";
        EXPECT_TRUE(GetScanErrorCode(code, text)) << code;
        EXPECT_STREQ(text, expected[code]) << code;
    }
}

TEST_F(ScanErrors, MessagesFollowTheInterfaceLanguage)
{
    LanguageId = LANGUAGE_JAPANESE;
    for (int code = 0; code < 10; ++code) {
        char text[SCAN_MESSAGE_BUFFER_SIZE] = "";
        ASSERT_TRUE(GetScanErrorCode(code, text));
        EXPECT_STREQ(text, GetTextIn(LANGUAGE_JAPANESE, ScanErrorTextNumber(code))) << code;
        EXPECT_STRNE(text, GetTextIn(LANGUAGE_ENGLISH, ScanErrorTextNumber(code))) << code;
    }
}

TEST_F(ScanErrors, SuccessHasNoMessageAndNegativeCodesAreCodingErrors)
{
    char text[SCAN_MESSAGE_BUFFER_SIZE] = "untouched";
    EXPECT_FALSE(GetScanErrorCode(10, text));
    EXPECT_FALSE(GetScanErrorCode(11, text));
    EXPECT_FALSE(GetScanErrorCode(1000, text));
    EXPECT_STREQ(text, "untouched");
    EXPECT_TRUE(GetScanErrorCode(-1, text));
    EXPECT_STREQ(text, "coding error GetScanErrorCode()");
}

TEST_F(ScanErrors, DriverFailureValuesBecomeCodesWithAMessageAndALogLine)
{
    for (int value = -9; value <= -1; ++value) {
        TraceRecorder::Messages().clear();
        EXPECT_EQ(SetErroecode(value), -value);
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text,
                  "coding error in scanner.cpp::SetErroecode()->" + std::to_string(-value));
        EXPECT_EQ(TraceRecorder::Messages()[0].type & MB_TYPEMASK, static_cast<unsigned>(MB_OK));
    }
    std::string log = LogContents();
    EXPECT_EQ(log.find("coding error in scanner.cpp::SetErroecode()->9\r\n"), 0u);
    EXPECT_NE(log.find("coding error in scanner.cpp::SetErroecode()->1\r\n"), std::string::npos);
}

TEST_F(ScanErrors, UnknownDriverValuesGiveCodeZero)
{
    for (int value : {0, -10, -32768, 1, 500}) {
        TraceRecorder::Messages().clear();
        EXPECT_EQ(SetErroecode(value), SCAN_GENERAL_FAILURE) << value;
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text,
                  "coding error in scanner.cpp::SetErroecode()->unknow code");
    }
    EXPECT_NE(LogContents().find("->unknow code\r\n"), std::string::npos);
}

TEST_F(ScanErrors, LogAppendsOneLinePerEntry)
{
    WriteLog("first");
    WriteLog("second");
    EXPECT_EQ(LogContents(), "first\r\nsecond\r\n");
}

} // namespace
