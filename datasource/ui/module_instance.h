// The module that holds the data source's code and resources: kestrel.ds when
// loaded by a Source Manager, the test program when its objects are linked in.
#pragma once

#include <windows.h>

HINSTANCE KestrelInstance();
