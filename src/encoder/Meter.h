#pragma once

// Runs ffmpeg's loudness meter over a decode and reads its figures.

#include "encoder/Console.h"
#include "encoder/Loudness.h"

#include <functional>
#include <string>
#include <vector>

namespace avcore {

// Runs Argv (an ffmpeg that ends in the "ebur128" meter) to its end; every
// progress block goes to OnProgress. A stop signal ends the run. False with
// a message when it cannot start, fails, is stopped or reports no figures.
bool RunMeter(const std::vector<std::string>& argv, const std::function<void(const TProgress&)>& onProgress,
              TLoudness& out, std::string& error);

// The figures of the programme that ListFile names (an album: the files of
// one folder, one full name a line). The first encoder to get here measures
// all of them joined and appends "=I,LRA,TP" to the list; the others wait for
// it (a lock on the list) and read that line, so the programme is measured
// once. OnProgress gets the measured part (0 to 1).
bool ProgrammeLoudness(const std::string& listFile, const std::string& ffmpeg, const std::string& ffprobe,
                       const std::function<void(double)>& onProgress, TLoudness& out, std::string& error);

} // namespace avcore
