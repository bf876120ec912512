#pragma once

// The nesting busy cursor: only the outermost EndBusy restores the cursor.

void BeginBusy();
void EndBusy();
// How many BeginBusy calls are still open.
int BusyDepth();

// BeginBusy for the lifetime of the object, so every way out ends it.
class TBusyCursor {
public:
    TBusyCursor() { BeginBusy(); }
    ~TBusyCursor() { EndBusy(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
