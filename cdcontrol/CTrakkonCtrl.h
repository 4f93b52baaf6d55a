#pragma once
// The CD ripping control: lists drives and tracks, plays through the drive,
// ejects, reports the disc status twice a second and rips tracks to MP3 or
// Ogg Vorbis on a thread of its own.

#include "Collections.h"
#include "RipEngine.h"

#include "ControlObject.h"

#include <memory>
#include <mutex>

namespace trakkon {

// One entry of the disc's table of contents; the last one is the lead-out.
struct TocEntry {
    std::int32_t startSector = 0;
    std::uint8_t control = 0; // bit 2: data track
    std::uint8_t trackNumber = 0;
    TagRecord tags;
    bool IsAudio() const { return (control & 0x04) == 0; }
};

class CTrakkonCtrl final : public automation::ControlObject {
public:
    static constexpr unsigned kPlayTimer = 1;
    static constexpr unsigned kPlayTimerMs = 100;
    static constexpr unsigned kStatusTimer = 2;
    static constexpr unsigned kStatusTimerMs = 500;

    CTrakkonCtrl();

    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;

    // The methods of _DTrakkon.
    bool PlayTrack(short track);
    void PauseTrack();
    void ResumeTrack();
    void StopRip() { engine_->Stop(); }
    bool Rip2MP3(short pos, const std::string& path, short bitrate, short quality, short vbrMode,
                 short vbrQuality, const Variant& channel, const Variant& frequency);
    bool Rip2Ogg(short pos, const std::string& path, short minimum, short nominal, short maximum,
                 const Variant& channel, const Variant& frequency);
    bool EjectCD(bool flag);
    bool RefreshCDRom(short index);
    bool SetID3Tag(short track, const std::string& artist, const std::string& album,
                   const std::string& song, const std::string& comment, const std::string& genre,
                   short newTrackNo, short year);
    void StopPlayTrack();

    const std::string& ControlDir() const { return controlDir_; }

protected:
    ~CTrakkonCtrl() override;
    HRESULT OnCreate() override;
    HRESULT OnDestroy() override;

private:
    void ReadTable();
    void PlayTick();
    bool TrackAt(short pos, RipTrack& out);

    ComPtr<CCDRoms> drives_;
    ComPtr<CTracks> tracks_;
    short cdRom_ = 0;
    std::string controlDir_;
    int playStop_ = 0;
    // Read by requests on whichever thread the host calls from.
    std::mutex tableMutex_;
    std::vector<TocEntry> discTable_;
    std::unique_ptr<RipEngine> engine_;
    bool created_ = false;
};

} // namespace trakkon
