#pragma once
// One audio task and the page's table of them. Every task carries a full copy
// of the settings it was added with, so tasks of one batch may differ.

#include <QString>

#include <array>
#include <memory>

enum AudioFormat { kFormatWav = 0, kFormatMp3, kFormatWma, kFormatOgg, kFormatApe, kFormatAac };

struct AudioTask {
    QString sourcePath; // empty: removed or never used
    QString clipStart;  // seconds as typed; empty: the whole file
    QString clipStop;
    int format = -1;
    int wavChannels = -1;      // 0 mono, 1 stereo
    int wavSampleSize = -1;    // 0 8 bit, 1 16 bit
    int wavSampleRatePos = -1; // position in the WAV rate list
    int wavSampleRate = -1;    // Hz
    int mp3Bitrate = -1;       // kbit/s
    int mp3SampleRate = -1;    // Hz
    int mp3ChannelMode = -1;   // 0 stereo, 1 joint stereo, 2 mono
    int mp3Vbr = -1;           // 0 off, 1 VBR
    int wmaProfile = -1;       // index into the control's profile list, -1 none
    int oggQuality = -1;       // 0..5
    int oggSampleRate = -1;    // Hz
    int oggChannels = -1;      // 0 stereo, 1 mono
    int apeLevel = -1;         // 0..3
    int aacSetting = -1;       // CBR kbit/s, or VBR preset code 16..23

    bool IsEmpty() const { return sourcePath.isEmpty(); }
};

// Slots are handed out in order and never reused; removing a task only
// empties its source path.
class AudioTaskTable {
public:
    static constexpr int kSlots = 4095;

    AudioTaskTable() : slots_(std::make_unique<std::array<AudioTask, kSlots>>()) {}

    void Clear() {
        for (AudioTask& t : *slots_)
            t = AudioTask();
        count_ = 0;
    }
    int SlotCount() const { return count_; }
    int FreeSlots() const { return kSlots - count_; }
    // Appends at the slot count; false when the table is full.
    bool Append(const AudioTask& task) {
        if (count_ >= kSlots)
            return false;
        (*slots_)[count_++] = task;
        return true;
    }
    void Remove(int slot) {
        if (slot >= 0 && slot < count_)
            (*slots_)[slot].sourcePath.clear();
    }
    const AudioTask& operator[](int slot) const { return (*slots_)[slot]; }
    AudioTask& operator[](int slot) { return (*slots_)[slot]; }

private:
    std::unique_ptr<std::array<AudioTask, kSlots>> slots_;
    int count_ = 0;
};

// "WAV", "MP3", "WMA", "OGG", "APE", "AAC" for formats 0 to 5.
QString FormatExtension(int format);
// The text after the last "." in capitals; the whole path in capitals when
// there is no dot.
QString SourceExtension(const QString& path);
// Output folder + the source's name part ("/song.") + the format's extension.
// A name without a dot gets one, so "/a/song" becomes "song.MP3".
QString OutputFileFor(const QString& outputFolder, const QString& sourcePath, int format);
