#pragma once

// Keeps the machine awake while a batch runs: holds a systemd-logind
// "sleep:idle" inhibitor lock. The lock is a file descriptor; it is released
// by closing it (Release, the destructor, or the kernel when the program
// ends), so a crash can never leave the machine unable to sleep.
// Without a system bus or logind, Acquire simply reports false.

#include <QString>

class TSleepInhibitor {
public:
    TSleepInhibitor() = default;
    ~TSleepInhibitor();
    TSleepInhibitor(const TSleepInhibitor&) = delete;
    TSleepInhibitor& operator=(const TSleepInhibitor&) = delete;

    // Takes the lock unless it is held already; true when it is held.
    bool Acquire(const QString& who, const QString& why);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Releases the inhibitor when the scope ends, however it ends.
class TSleepInhibitorScope {
public:
    TSleepInhibitorScope(TSleepInhibitor& inhibitor, const QString& who, const QString& why)
        : inhibitor_(inhibitor) { inhibitor_.Acquire(who, why); }
    ~TSleepInhibitorScope() { inhibitor_.Release(); }
    TSleepInhibitorScope(const TSleepInhibitorScope&) = delete;
    TSleepInhibitorScope& operator=(const TSleepInhibitorScope&) = delete;

private:
    TSleepInhibitor& inhibitor_;
};
