#pragma once
// The program's wrapper of the CD ripping control: one method per dispatch
// identifier with fixed argument types, over the control's dispatch
// interface. Results a caller does not need are ignored. Plain C++, so that
// tools use it as the CD page does.

#include "TrakkonIds.h"

#include "Dispatch.h"

#include <string>

// The drives collection, held for one call sequence.
class CCDRomsRef {
public:
    explicit CCDRomsRef(automation::ComPtr<automation::IDispatch> d) : d_(std::move(d)) {}
    bool IsValid() const { return static_cast<bool>(d_); }
    short GetCount() const;
    std::string FindCDRomName(short index) const;

private:
    automation::ComPtr<automation::IDispatch> d_;
};

// The tracks collection, held for one call sequence.
class CTracksRef {
public:
    explicit CTracksRef(automation::ComPtr<automation::IDispatch> d) : d_(std::move(d)) {}
    bool IsValid() const { return static_cast<bool>(d_); }
    short GetCount() const;
    std::string FindAlbum(short index) const;
    std::string FindArtist(short index) const;
    std::string FindComment(short index) const;
    std::string FindGenre(short index) const;
    std::string FindSong(short index) const;
    short FindYear(short index) const;
    bool FindIsAudio(short index) const;
    long FindStartSector(short index) const;

private:
    automation::Variant Call(automation::DISPID id, short index) const;
    automation::ComPtr<automation::IDispatch> d_;
};

class CTrakkon {
public:
    CTrakkon() = default;
    explicit CTrakkon(automation::IDispatch* control) : d_(control) {}
    void Attach(automation::IDispatch* control) { d_ = automation::ComPtr(control); }
    void Detach() { d_.Reset(); }
    bool IsAttached() const { return static_cast<bool>(d_); }

    CCDRomsRef GetCDRoms() const;
    short GetCDRom() const;
    void SetCDRom(short index);
    CTracksRef GetTracks() const;
    bool PlayTrack(short track);
    void PauseTrack();
    void ResumeTrack();
    void StopRip();
    bool Rip2Ogg(short trackNo, const std::string& oggFile, short minBitRate, short nomBitRate,
                 short maxBitRate, const automation::Variant& audioChannel,
                 const automation::Variant& frequency);
    bool Rip2MP3(short trackNo, const std::string& mp3File, short audioBitRate, short quality,
                 short vbrMode, short vbrQuality, const automation::Variant& audioChannel,
                 const automation::Variant& frequency);
    bool EjectCD(bool flag);
    bool RefreshCDRom(short index);
    bool SetID3Tag(short track, const std::string& artist, const std::string& album,
                   const std::string& song, const std::string& comment, const std::string& genre,
                   short newTrackNo, short year);
    void StopPlayTrack();
    void AboutBox();

private:
    automation::Variant Invoke(automation::DISPID id, std::vector<automation::Variant> args,
                               std::uint16_t flags = automation::DISPATCH_METHOD) const;
    bool InvokeBool(automation::DISPID id, std::vector<automation::Variant> args) const;

    automation::ComPtr<automation::IDispatch> d_;
};
