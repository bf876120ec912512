#pragma once

// Outputs appear only when complete. A conversion writes into a partial file
// beside its output, named
//     "." + output file name + ".qvpart-" + host + "-" + encoder process id + output extension
// (for "clip.mp4" written by process 4711 on host "node1":
// ".clip.mp4.qvpart-node1-4711.mp4"), so that it sits on the same file system
// (the final rename is atomic) and the extension still tells the muxer. The
// host tells apart the files of hosts that share the folder (NFS), whose
// process ids repeat; names without a host ("...qvpart-4711.mp4") were written
// by earlier versions and are still recognised. The writing process holds an exclusive
// flock() on the partial file for as long as it works on it; a partial file
// that nobody holds is a leftover (a killed program, a power cut) and may be
// removed. A name too long for the file system gets a shortened middle part.
// Cleaners take only files of exactly this shape that they can lock, owned by
// their own user and with no other link: never a user's ".notes.qvpart-1.txt".
// The sweep of a folder takes a file of another host never: whether that
// host's process still runs cannot be seen from here (a lock on a network
// file system may have lapsed while the host is cut off), and a file of its
// own host only when that process no longer runs.

#include "platform/MoveIntoPlace.h"

#include <string>
#include <sys/types.h>

// This host in partial names: the host name up to its first ".", every byte
// but ASCII letters, digits, "-" and "_" written as "_", at most 64 bytes;
// "" when the system gives no name.
std::string PartialHostTag();
// Such a tag made of a host name.
std::string PartialHostTag(const std::string& hostName);

// The partial file of Output written by process Pid on Host (a tag as
// PartialHostTag gives; "" for the shape without a host). Same folder as Output.
std::string PartialOutputName(const std::string& output, long pid, const std::string& host = PartialHostTag());

// What a partial name says of its writer.
struct TPartialWriter {
    std::string Host; // "" in names of earlier versions
    long Pid = 0;
};
// True when a file name (no folder) has exactly the shape PartialOutputName
// gives: "." + N + ".qvpart-" + [host + "-"] + digits + N's own extension, or N
// shortened to fit 255 bytes with the extension of a longer N. Fills Writer.
bool IsPartialOutputName(const std::string& fileName, TPartialWriter* writer = nullptr);

// Removes the partial file at Path if it is a regular file with no other
// link, owned by this process's effective user, that no process holds
// locked. True when it was removed.
bool RemoveUnheldPartial(const std::string& path);

// Removes every partial output in Folder ("" = the current folder) that no
// running conversion holds: those of this host whose process has ended, and
// those without a host. Returns how many were removed.
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
