// The scan engine's diagnostic log file.
#pragma once

// Deleted whenever the data source module is loaded.
extern const char kLogFilePath[];

// Appends one line to the log. Best effort: when the file cannot be opened the
// entry is lost.
void WriteLog(const char* text);
