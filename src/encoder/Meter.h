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

} // namespace avcore
