#pragma once

// Media facts of a made-up source for plan tests: ten seconds in Container,
// one video and one audio stream as asked.

#include "encoder/Probe.h"

#include <string>

namespace avcore {

inline TSourceFacts MadeUpSource(bool video, bool audio, int width, int height, double fps, int rate, int channels,
                                 const std::string& container)
{
    TSourceFacts f;
    f.formatName = container;
    f.duration = 10;
    if (video) {
        TStreamFacts v;
        v.type = "video";
        v.width = width;
        v.height = height;
        v.frameRate = fps;
        f.streams.push_back(v);
    }
    if (audio) {
        TStreamFacts a;
        a.type = "audio";
        a.sampleRate = rate;
        a.channels = channels;
        f.streams.push_back(a);
    }
    return f;
}

} // namespace avcore
