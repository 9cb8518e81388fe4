#include "twain/source_app.h"

#include "scan/scan_log.h"

SourceApp theApp;

SourceApp::SourceApp()
{
    DeleteFileA(kLogFilePath);
}
