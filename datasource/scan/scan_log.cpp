#include "scan/scan_log.h"

const char kLogFilePath[] = "c:\\dadavor.txt";
