#include "twain/source_app.h"

const char kLogFilePath[] = "c:\\dadavor.txt";

SourceApp theApp;

SourceApp::SourceApp()
{
    DeleteFileA(kLogFilePath);
}
