#include "CTrakkonCtrl.h"

#include "CdAccess.h"

#include <filesystem>

namespace trakkon {

using namespace automation;

namespace {

// The folder of this module file, ending with "/".
std::string ModuleFolder() {
    static const int anchor = 0;
    std::string path = ModulePathOf(&anchor);
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// An optional VARIANT argument's 32-bit value, or the fallback when it was
// left out or does not convert.
std::int32_t OptionalI4(const DispatchArgs& a, size_t i, std::int32_t fallback) {
    if (a.IsMissing(i))
        return fallback;
    std::int32_t v = 0;
    return Succeeded(a.At(i).ToI4(v)) ? v : fallback;
}

} // namespace

CTrakkonCtrl::CTrakkonCtrl()
    : drives_(ComPtr<CCDRoms>::Attach(new CCDRoms())),
      tracks_(ComPtr<CTracks>::Attach(new CTracks())), controlDir_(ModuleFolder()) {
    RipEngine::Events events;
    events.ripping = [this](short pos) { Events().Fire(EVENTID_Ripping, {Variant::I2(pos)}); };
    events.endRip = [this] { Events().Fire(EVENTID_EndRip); };
    events.failed = [this](int why) { Events().Fire(EVENTID_RipFailed, {Variant::I4(why)}); };
    engine_ = std::make_unique<RipEngine>(controlDir_, LibraryDrive(), std::move(events));
}

CTrakkonCtrl::~CTrakkonCtrl() {
    engine_->Shutdown();
}

HRESULT CTrakkonCtrl::OnCreate() {
    CdSetSettingsFile((controlDir_ + "encoder.ini").c_str());
    CdInitialize();
    for (int i = 0; i < CdGetDriveCount(); ++i) {
        CdSelectDrive(static_cast<short>(i));
        char name[cdaccess::kDriveNameSize] = {};
        CdGetDriveName(name, sizeof name);
        drives_->Add(std::string("CD: ") + name);
    }
    CdSelectDrive(cdRom_);
    if (Site())
        Site()->SetTimer(kStatusTimer, kStatusTimerMs, [this] {
            Events().Fire(EVENTID_CDRomStatus, {Variant::Bool(CdIsDiscReady() == 1)});
        });
    ReadTable();
    created_ = true;
    return S_OK;
}

HRESULT CTrakkonCtrl::OnDestroy() {
    if (Site()) {
        Site()->KillTimer(kStatusTimer);
        Site()->KillTimer(kPlayTimer);
    }
    engine_->Shutdown();
    if (created_)
        CdLockDoor(0);
    created_ = false;
    return S_OK;
}

void CTrakkonCtrl::ReadTable() {
    if (CdIsDiscReady() != 1 || CdIsBusy() != 0)
        return;
    std::vector<TocEntry> table;
    CdReadToc();
    const int n = CdGetTrackCount();
    for (int i = 0; i <= n && n > 0; ++i) {
        const auto e = static_cast<std::uint64_t>(CdGetTocEntry(i));
        TocEntry entry;
        entry.startSector = static_cast<std::int32_t>(e & 0xFFFFFFFFu);
        // 80 minutes of sectors or more in the first entry is a drive's
        // misreading of a disc that starts at 0.
        if (i == 0 && entry.startSector >= 360000)
            entry.startSector = 0;
        entry.control = static_cast<std::uint8_t>((e >> 32) & 0xFF);
        entry.trackNumber = static_cast<std::uint8_t>((e >> 40) & 0xFF);
        table.push_back(entry);
    }
    {
        std::lock_guard lock(tableMutex_);
        discTable_ = table;
    }
    for (int i = 0; i + 1 < static_cast<int>(table.size()); ++i) {
        auto track = ComPtr<CTrack>::Attach(new CTrack());
        char name[16];
        std::snprintf(name, sizeof name, "%02d", i + 1);
        track->name = name;
        track->isAudio = table[i].IsAudio();
        track->startSector = table[i].startSector;
        tracks_->Add(std::move(track));
    }
}

bool CTrakkonCtrl::RefreshCDRom(short index) {
    tracks_->Clear();
    CdSelectDrive(index);
    ReadTable();
    return true;
}

bool CTrakkonCtrl::SetID3Tag(short track, const std::string& artist, const std::string& album,
                             const std::string& song, const std::string& comment,
                             const std::string& genre, short newTrackNo, short year) {
    if (track < 1 || track - 1 > tracks_->Count())
        return false;
    if (CTrack* t = tracks_->At(track - 1)) {
        t->artist = artist;
        t->album = album;
        t->song = song;
        t->comment = comment;
        t->genre = genre;
        t->year = year;
    }
    std::lock_guard lock(tableMutex_);
    if (track - 1 < static_cast<int>(discTable_.size())) {
        TagRecord& tags = discTable_[static_cast<size_t>(track - 1)].tags;
        tags.artist = artist;
        tags.album = album;
        tags.title = song;
        tags.comment = comment;
        tags.genre = genre;
        tags.year = year;
        tags.trackNumber = newTrackNo;
    }
    return true;
}

// The request takes its track's range and tags when it is accepted, so a
// later disc refresh cannot change a rip under way. Positions outside the
// table (the lead-out included) are refused.
bool CTrakkonCtrl::TrackAt(short pos, RipTrack& out) {
    std::lock_guard lock(tableMutex_);
    if (pos < 0 || pos + 1 >= static_cast<int>(discTable_.size()))
        return false;
    const TocEntry& e = discTable_[static_cast<size_t>(pos)];
    out.first = e.startSector;
    out.end = discTable_[static_cast<size_t>(pos) + 1].startSector;
    out.audio = e.IsAudio();
    out.tags = e.tags;
    return true;
}

bool CTrakkonCtrl::Rip2MP3(short pos, const std::string& path, short bitrate, short quality,
                           short vbrMode, short vbrQuality, const Variant& channel,
                           const Variant& frequency) {
    RipTrack track;
    if (engine_->Busy() || path.empty() || !TrackAt(pos, track))
        return false;
    std::vector<Variant> v{channel, frequency};
    DispatchArgs a(v);
    return engine_->RipMP3(track, path, bitrate, quality, vbrMode, vbrQuality, OptionalI4(a, 0, 0),
                           OptionalI4(a, 1, 44100));
}

bool CTrakkonCtrl::Rip2Ogg(short pos, const std::string& path, short minimum, short nominal,
                           short maximum, const Variant& channel, const Variant& frequency) {
    RipTrack track;
    if (engine_->Busy() || path.empty() || !TrackAt(pos, track))
        return false;
    std::vector<Variant> v{channel, frequency};
    DispatchArgs a(v);
    const bool mono = !a.IsMissing(0) && OptionalI4(a, 0, 0) == 1;
    return engine_->RipOgg(track, path, minimum, nominal, maximum, mono, OptionalI4(a, 1, 44100));
}

bool CTrakkonCtrl::EjectCD(bool flag) {
    if (engine_->Busy())
        return false;
    CdLockDoor(0);
    CdEject(flag ? 1 : 0);
    return true;
}

bool CTrakkonCtrl::PlayTrack(short track) {
    if (CdPlayTrack(track) == cdaccess::kPlayNotStarted)
        return false;
    if (Site())
        Site()->SetTimer(kPlayTimer, kPlayTimerMs, [this] { PlayTick(); });
    return true;
}

void CTrakkonCtrl::PlayTick() {
    if (CdGetAudioStatus() == cdaccess::kAudioPlaying) {
        int inTrack = 0, onDisc = 0;
        CdGetPlayPosition(&inTrack, &onDisc);
        Events().Fire(EVENTID_PlayingTrack, {Variant::I4(inTrack), Variant::I4(onDisc)});
        playStop_ = 0;
        return;
    }
    if (Site())
        Site()->KillTimer(kPlayTimer);
    if (!playStop_)
        Events().Fire(EVENTID_EndPlayTrack);
    playStop_ = 0;
}

void CTrakkonCtrl::PauseTrack() {
    playStop_ = 1;
    CdPausePlay(1);
}

void CTrakkonCtrl::ResumeTrack() {
    playStop_ = 1;
    if (Site())
        Site()->SetTimer(kPlayTimer, kPlayTimerMs, [this] { PlayTick(); });
    CdPausePlay(0);
}

void CTrakkonCtrl::StopPlayTrack() {
    playStop_ = 1;
    CdStopPlay();
}

HRESULT CTrakkonCtrl::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                             Variant* result) {
    DispatchArgs a(args);
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    auto boolResult = [&](bool v) {
        SetResult(result, Variant::Bool(v));
        return S_OK;
    };
    std::int16_t s[6] = {};
    std::string t[5];
    switch (id) {
    case DISPID_CDRoms:
        if (put)
            return CTL_E_SETNOTSUPPORTED;
        SetResult(result, Variant::Dispatch(drives_.Get()));
        return S_OK;
    case DISPID_Tracks:
        if (put)
            return CTL_E_SETNOTSUPPORTED;
        SetResult(result, Variant::Dispatch(tracks_.Get()));
        return S_OK;
    case DISPID_CDRom:
        if (put) {
            // The value is the last argument of a property put.
            if (args.empty())
                return DISP_E_PARAMNOTFOUND;
            if (HRESULT hr = a.I2(args.size() - 1, s[0]); Failed(hr))
                return hr;
            cdRom_ = s[0];
            CdSelectDrive(cdRom_);
            return S_OK;
        }
        SetResult(result, Variant::I2(cdRom_));
        return S_OK;
    case DISPID_PlayTrack:
        if (HRESULT hr = a.I2(0, s[0]); Failed(hr))
            return hr;
        return boolResult(PlayTrack(s[0]));
    case DISPID_PauseTrack:
        PauseTrack();
        return S_OK;
    case DISPID_ResumeTrack:
        ResumeTrack();
        return S_OK;
    case DISPID_StopRip:
        StopRip();
        return S_OK;
    case DISPID_StopPlayTrack:
        StopPlayTrack();
        return S_OK;
    case DISPID_Rip2Ogg: {
        HRESULT hr = a.I2(0, s[0]);
        if (Succeeded(hr))
            hr = a.Str(1, t[0]);
        for (size_t i = 2; Succeeded(hr) && i < 5; ++i)
            hr = a.I2(i, s[i - 1]);
        if (Failed(hr))
            return hr;
        const Variant channel = a.IsMissing(5) ? Variant::Missing() : a.At(5);
        const Variant rate = a.IsMissing(6) ? Variant::Missing() : a.At(6);
        return boolResult(Rip2Ogg(s[0], t[0], s[1], s[2], s[3], channel, rate));
    }
    case DISPID_Rip2MP3: {
        HRESULT hr = a.I2(0, s[0]);
        if (Succeeded(hr))
            hr = a.Str(1, t[0]);
        for (size_t i = 2; Succeeded(hr) && i < 6; ++i)
            hr = a.I2(i, s[i - 1]);
        if (Failed(hr))
            return hr;
        const Variant channel = a.IsMissing(6) ? Variant::Missing() : a.At(6);
        const Variant rate = a.IsMissing(7) ? Variant::Missing() : a.At(7);
        return boolResult(Rip2MP3(s[0], t[0], s[1], s[2], s[3], s[4], channel, rate));
    }
    case DISPID_EjectCD: {
        bool flag = false;
        if (HRESULT hr = a.Bool(0, flag); Failed(hr))
            return hr;
        return boolResult(EjectCD(flag));
    }
    case DISPID_RefreshCDRom:
        if (HRESULT hr = a.I2(0, s[0]); Failed(hr))
            return hr;
        return boolResult(RefreshCDRom(s[0]));
    case DISPID_SetID3Tag: {
        HRESULT hr = a.I2(0, s[0]);
        for (size_t i = 0; Succeeded(hr) && i < 5; ++i)
            hr = a.Str(1 + i, t[i]);
        if (Succeeded(hr))
            hr = a.I2(6, s[1]);
        if (Succeeded(hr))
            hr = a.I2(7, s[2]);
        if (Failed(hr))
            return hr;
        return boolResult(SetID3Tag(s[0], t[0], t[1], t[2], t[3], t[4], s[1], s[2]));
    }
    case DISPID_ABOUTBOX:
        // Drawn by the host, modal to its window.
        if (ControlSite* site = Site())
            site->ShowAboutBox("About Trakkon", "Trakkon Version 1.0");
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace trakkon
