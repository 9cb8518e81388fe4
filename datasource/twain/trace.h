// Diagnostic hook of the TWAIN core. It changes no state and shows nothing; the
// text goes to the debugger (OutputDebugStringA) and to an optional observer.
#pragma once

void DebugTrace(const char* text);

typedef void (*TraceObserver)(const char* text);
void SetTraceObserver(TraceObserver observer);
