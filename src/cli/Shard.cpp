#include "cli/Shard.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace qvcli {

namespace {

std::optional<int> ReadCount(const std::string& text)
{
    // At most five digits: no sign, no blanks, nothing the stream readers would skip.
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return std::stoi(text);
}

} // namespace

std::optional<TShard> ParseShard(const std::string& text)
{
    const size_t slash = text.find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    const auto index = ReadCount(text.substr(0, slash));
    const auto count = ReadCount(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *count < *index || *count > MaxShards)
        return std::nullopt;
    return TShard{*index, *count};
}

uint64_t ShardHash(std::string_view key)
{
    uint64_t h = 0xcbf29ce484222325ULL; // FNV-1a 64 offset basis
    for (const char c : key) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL; // FNV-1a 64 prime
    }
    // MurmurHash3's fmix64.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

int ShareOf(std::string_view key, int count)
{
    return static_cast<int>(ShardHash(key) % static_cast<uint64_t>(std::max(1, count))) + 1;
}

std::string RelativeShardKey(const std::string& fullPath, const std::string& folderArgument)
{
    const fs::path file = fs::path(fullPath).lexically_normal();
    if (!folderArgument.empty()) {
        const fs::path folder = fs::path(folderArgument).lexically_normal();
        const fs::path relative = file.lexically_relative(folder);
        if (!relative.empty() && *relative.begin() != ".." && relative != ".")
            return relative.generic_string();
    }
    return file.filename().string();
}

std::string AlbumShardKey(const std::string& relativeKey, const std::string& fullPath)
{
    const size_t slash = relativeKey.rfind('/');
    if (slash != std::string::npos)
        return relativeKey.substr(0, slash);
    return fs::path(fullPath).lexically_normal().parent_path().filename().string();
}

} // namespace qvcli
