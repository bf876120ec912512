#pragma once

// Outputs appear only when complete. A conversion writes into a partial file
// beside its output, named
//     "." + output file name + ".qvpart-" + encoder process id + output extension
// (for "clip.mp4" written by process 4711: ".clip.mp4.qvpart-4711.mp4"), so
// that it sits on the same file system (the final rename is atomic) and the
// extension still tells the muxer. The writing process holds an exclusive
// flock() on the partial file for as long as it works on it; a partial file
// that nobody holds is a leftover (a killed program, a power cut) and may be
// removed. A name too long for the file system gets a shortened middle part.
// Cleaners take only files of exactly this shape that they can lock, owned by
// their own user and with no other link: never a user's ".notes.qvpart-1.txt".

#include "platform/MoveIntoPlace.h"

#include <string>
#include <sys/types.h>

// The partial file of Output written by process Pid (same folder as Output).
std::string PartialOutputName(const std::string& output, long pid);

// True when a file name (no folder) has exactly the shape PartialOutputName
// gives: "." + N + ".qvpart-" + digits + N's own extension, or N shortened to
// fit 255 bytes with the extension of a longer N.
bool IsPartialOutputName(const std::string& fileName);

// Removes the partial file at Path if it is a regular file with no other
// link, owned by this process's effective user, that no process holds
// locked. True when it was removed.
bool RemoveUnheldPartial(const std::string& path);

// Removes every partial output in Folder ("" = the current folder) that no
// running conversion holds. Returns how many were removed.
int RemoveLeftoverPartials(const std::string& folder);

// The folder part of a path, with its trailing "/" ("" when none).
std::string FolderOf(const std::string& path);

// The partial file of one conversion: created exclusively and locked;
// removed on destruction unless committed.
class TPartialOutput {
public:
    TPartialOutput() = default;
    ~TPartialOutput();
    TPartialOutput(const TPartialOutput&) = delete;
    TPartialOutput& operator=(const TPartialOutput&) = delete;

    // Creates and locks the partial file of Output for this process. An
    // existing file under the final name is not touched; its permission bits
    // are taken over. False with a message when it cannot be created.
    bool Create(const std::string& output, std::string& error);
    // Moves the finished file to the final name (MoveIntoPlace): a file
    // there is replaced only as Grant allows; one that appeared meanwhile
    // never. False with a message naming the cause.
    // With a Number grant the file takes the first free name instead
    // (MoveIntoFreeName); CommittedName() tells which.
    bool Commit(const TReplaceGrant& grant, std::string& error);
    // The name the last Commit gave the file; "" before one.
    const std::string& CommittedName() const { return committed_; }
    // The number of that name (1: the output name itself).
    int CommittedNumber() const { return committedNumber_; }
    // Removes the partial file (if still ours) and releases the lock.
    void Discard();

    const std::string& Path() const { return path_; }
    // The locked descriptor (read-write), -1 when none.
    int Fd() const { return fd_; }

private:
    std::string output_;
    std::string path_;
    std::string committed_;
    int committedNumber_ = 0;
    int fd_ = -1;
};
