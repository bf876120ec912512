#pragma once

// quorvex-cli --report FILE: one JSON object per line for every file of the
// run, appended as each file ends, so that runs on several hosts (a batch
// split with --shard) can share one report and it stays readable after a
// run that was killed.

#include <string>
#include <utility>
#include <vector>

namespace qvcli {

struct TReportRecord {
    std::string Source;        // the source's absolute name
    std::string Output;        // its output's name, "" when none was planned
    std::string Status;        // "converted", "failed", "skipped" or "stopped"
    std::string Reason;        // why it failed, was skipped or stopped; "" when converted
    double Seconds = -1;       // how long its conversion ran; below 0 when it never started
    std::vector<std::string> Notes; // the encoder's notes on it
    std::string Host;          // the host that ran it
    std::string Shard;         // "K/N" of --shard, "" without
    // Further per-file figures (the loudness a file was measured at and
    // brought to, ...): a member name and its value as JSON text, written
    // after the members above in this order.
    std::vector<std::pair<std::string, std::string>> Figures;
};

// A JSON string: names are written as the console writes them (control
// characters and bytes that are no UTF-8 visibly, "\xE9"), so every line is
// valid UTF-8 and the same name reads alike on the terminal and in the report.
std::string JsonName(const std::string& name);
// A JSON string of message text: line breaks and tabs are kept (escaped).
std::string JsonText(const std::string& text);
// The record as one line of JSON, with its line end.
std::string ReportLine(const TReportRecord& record);

// The report file, opened for appending. Each append takes an exclusive
// flock() on it, writes at its current end and flushes it to the file
// system before the lock is released; the lock works between hosts on NFS
// (the Linux client takes it as a lock on the whole file with the server).
class TReportFile {
public:
    TReportFile() = default;
    ~TReportFile();
    TReportFile(const TReportFile&) = delete;
    TReportFile& operator=(const TReportFile&) = delete;

    // Opens (creating) Path; refused with a message when it is no regular file
    // (a named pipe, a folder, a device) or cannot be opened for writing.
    bool Open(const std::string& path, std::string& error);
    // Appends Text whole; false with the system's reason.
    bool Append(const std::string& text, std::string& error);
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string path_;
};

// The host name as the system gives it ("" when it cannot).
std::string HostName();

} // namespace qvcli
