// The scan engine's diagnostic log file.
#pragma once

// Deleted whenever the data source module is loaded.
extern const char kLogFilePath[];
