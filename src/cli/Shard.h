#pragma once

// Splitting one batch over several runs (quorvex-cli --shard K/N), for
// cluster tools that start one command per task. Every run is given the same
// arguments and keeps the K-th of N shares; which share a file belongs to
// depends only on its key (its path relative to the folder argument it came
// from, or for a file argument its name), so runs on hosts that mount the
// library at different places pick alike. The rule is frozen: changing it
// would make runs of two versions convert some files twice and others never.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvcli {

// The largest N of --shard.
constexpr int MaxShards = 10000;

struct TShard {
    int Index = 1; // K, 1 to Count
    int Count = 1; // N
};

// Reads "K/N" (decimal digits only, 1 <= K <= N <= MaxShards); nothing on any other text.
std::optional<TShard> ParseShard(const std::string& text);

// 64-bit FNV-1a of the key's bytes, followed by the 64-bit finaliser of
// MurmurHash3 so that every bit of the result depends on every byte (FNV-1a's
// low bits alone depend only on the keys' low bits, which splits names such as
// "01.wav", "02.wav" unevenly by small powers of two).
uint64_t ShardHash(std::string_view key);
// The share (1 to Count) of a key: ShardHash(key) % Count + 1.
int ShareOf(std::string_view key, int count);

// The key of a file found under FolderArgument (as the folder walk finds it):
// its path relative to that folder, lexically, with "/" between names; the
// file's name alone when it does not lie under FolderArgument or that is "".
std::string RelativeShardKey(const std::string& fullPath, const std::string& folderArgument);
// The key that keeps an album on one run (loudness album mode): the folder
// part of a relative key ("Artist/Album" of "Artist/Album/01.flac"); for a key
// without a folder (a file argument), the name of the folder holding FullPath.
std::string AlbumShardKey(const std::string& relativeKey, const std::string& fullPath);

} // namespace qvcli
