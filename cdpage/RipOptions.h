#pragma once
// The CD page's rip settings: list positions of the MP3 and Ogg option
// dialogs and the sample rates they show. One set for the whole program,
// starting from the defaults at every start and never saved.

struct RipOptions {
    int mp3Bitrate = 11; // "128 bps"
    int mp3Channels = 0; // "Stereo"
    int mp3Quality = 0;  // "Normal"
    int mp3VbrMode = 0;  // "Disabled"
    int mp3VbrQuality = 0;
    int mp3SampleRate = 44100;
    int mp3SampleRatePos = 7;
    int oggMin = 4;  // " 80 bps"
    int oggNom = 7;  // "160 bps"
    int oggMax = 10; // "350 bps"
    int oggChannels = 0;
    int oggSampleRate = 44100;
    int oggSampleRatePos = 8;
};

// The program's rip settings.
RipOptions& TheRipOptions();
