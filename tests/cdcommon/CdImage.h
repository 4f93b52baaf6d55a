#pragma once
// BIN/CUE CD images written by the tests: audio tracks of tones, data
// tracks of filler, optional pregaps, and a data file whose name need not
// match the cue's.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace cdtest {

inline constexpr int kSectorBytes = 2352;
inline constexpr int kValuesPerSector = kSectorBytes / 2;

struct TrackLayout {
    bool audio = true;
    int sectors = 150; // from INDEX 01 to the next track's pregap
    int pregap = 0;    // sectors of silence before INDEX 01 (INDEX 00)
    double freq = 440; // left channel; the right one plays 1.5 times higher
};

struct CdImage {
    std::string cue, data;
    std::vector<int> starts; // INDEX 01 of each track, then the lead-out
    std::vector<std::int16_t> values;

    // The interleaved values of the sector range the control rips for the
    // track at position pos: its INDEX 01 up to the next entry.
    std::vector<std::int16_t> RangeValues(int pos) const {
        return std::vector<std::int16_t>(values.begin() + starts[pos] * kValuesPerSector,
                                         values.begin() + starts[pos + 1] * kValuesPerSector);
    }
};

inline std::string Msf(int sector) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", sector / 4500, (sector / 75) % 60,
                  sector % 75);
    return buf;
}

inline CdImage WriteImage(const std::string& dir, const std::vector<TrackLayout>& tracks,
                          const std::string& dataName = "tracks_data.img",
                          const std::string& cueName = "disc.cue") {
    CdImage img;
    img.cue = dir + "/" + cueName;
    img.data = dir + "/" + dataName;
    std::string cue = "FILE \"" + dataName + "\" BINARY\n";
    int sector = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const TrackLayout& layout = tracks[t];
        char head[64];
        std::snprintf(head, sizeof head, "  TRACK %02zu %s\n", t + 1,
                      layout.audio ? "AUDIO" : "MODE1/2352");
        cue += head;
        if (layout.pregap > 0) {
            cue += "    INDEX 00 " + Msf(sector) + "\n";
            img.values.resize(img.values.size() + layout.pregap * kValuesPerSector, 0);
            sector += layout.pregap;
        }
        cue += "    INDEX 01 " + Msf(sector) + "\n";
        img.starts.push_back(sector);
        const size_t n = static_cast<size_t>(layout.sectors) * kValuesPerSector;
        const size_t base = img.values.size();
        img.values.resize(base + n);
        for (size_t i = 0; i < n / 2; ++i) {
            if (layout.audio) {
                const double ts = static_cast<double>(i) / 44100.0;
                const double env = 0.6 + 0.4 * std::sin(2 * M_PI * 1.3 * ts);
                img.values[base + 2 * i] =
                    static_cast<std::int16_t>(9000 * env * std::sin(2 * M_PI * layout.freq * ts));
                img.values[base + 2 * i + 1] = static_cast<std::int16_t>(
                    7000 * env * std::sin(2 * M_PI * layout.freq * 1.5 * ts + 0.3));
            } else {
                img.values[base + 2 * i] = static_cast<std::int16_t>(0x5A5A + i);
                img.values[base + 2 * i + 1] = static_cast<std::int16_t>(0x1234 ^ i);
            }
        }
        sector += layout.sectors;
    }
    img.starts.push_back(sector);
    std::ofstream(img.cue) << cue;
    std::ofstream out(img.data, std::ios::binary);
    out.write(reinterpret_cast<const char*>(img.values.data()),
              static_cast<std::streamsize>(img.values.size() * 2));
    return img;
}

// Two audio tracks with a data track between them; the third has a pregap.
inline std::vector<TrackLayout> MixedDisc() {
    return {{true, 225, 0, 440}, {false, 150, 0, 0}, {true, 150, 75, 660}};
}

} // namespace cdtest
