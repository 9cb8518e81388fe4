// The localized text table: every user-visible text of kestrel that changes
// with the interface language, by number, in eight languages.
//
// Texts are 8-bit strings in the code page of their language (1252 for the
// Western languages, 950, 936 and 932 for Traditional Chinese, Simplified
// Chinese and Japanese). Window code that shows an East Asian text converts it
// with MultiByteToWideChar(LanguageCodePage(...)) and uses the ...W functions;
// the 8-bit functions would read it in the system's ANSI code page instead.
#pragma once

#include <windows.h>

#include <string>

// Interface languages, in table column order: LanguageId - FIRST_LANGUAGE_ID
// is the column.
enum {
    LANGUAGE_ENGLISH             = 1210,
    LANGUAGE_FRENCH              = 1211,
    LANGUAGE_SPANISH             = 1212,
    LANGUAGE_ITALIAN             = 1213,
    LANGUAGE_GERMAN              = 1214,
    LANGUAGE_TRADITIONAL_CHINESE = 1215,
    LANGUAGE_SIMPLIFIED_CHINESE  = 1216,
    LANGUAGE_JAPANESE            = 1217,

    FIRST_LANGUAGE_ID = LANGUAGE_ENGLISH,
    LAST_LANGUAGE_ID  = LANGUAGE_JAPANESE,
    LANGUAGE_COUNT    = LAST_LANGUAGE_ID - FIRST_LANGUAGE_ID + 1,
};

// A buffer that receives any text of the table, with its terminating NUL,
// needs this many bytes (the longest text is 368 bytes).
enum { TEXT_BUFFER_SIZE = 369 };

// The current interface language; English until the settings window reads
// the user's choice from the profile.
extern int LanguageId;

// Text `number` in the current language. Never NULL: a number without an
// entry, or a LanguageId outside 1210..1217, gives "".
const char* GetText(int number);

// Text `number` in the language `languageId`; same rules as GetText.
const char* GetTextIn(int languageId, int number);

// Windows code page of the texts of `languageId`; 1252 for an unknown id,
// whose texts are all "".
UINT LanguageCodePage(int languageId);

// Text `number` of `languageId` converted to UTF-16 into `buffer` (`capacity`
// wide characters including the NUL; TEXT_BUFFER_SIZE is always enough).
// Returns the length written without the NUL; 0 and an empty buffer when the
// text is empty or does not fit.
int GetTextWide(int languageId, int number, wchar_t* buffer, int capacity);

// Code-page bytes of the current language (a text of the table, or one built
// from it) as UTF-16 for the ...W window functions; "" for NULL.
std::wstring WidenUiText(const char* text);
