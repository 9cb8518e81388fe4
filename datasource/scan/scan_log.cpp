#include "scan/scan_log.h"

#include <stdio.h>

const char kLogFilePath[] = "c:\\dadavor.txt";

void WriteLog(const char* text)
{
    // Text mode, so the line end is written as CR LF.
    FILE* file = fopen(kLogFilePath, "a");
    if (!file)
        return;
    fputs(text ? text : "", file);
    fputc('\n', file);
    fclose(file);
}
