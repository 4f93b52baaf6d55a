#include "CTrakkon.h"

using namespace automation;
using namespace trakkon;

namespace {

Variant Get(const ComPtr<IDispatch>& d, DISPID id, std::vector<Variant> args = {}) {
    Variant r;
    if (d)
        d->Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &r);
    return r;
}

std::string Text(const Variant& v) {
    std::string s;
    return Succeeded(v.ToStr(s)) ? s : std::string();
}
std::int16_t Short(const Variant& v, std::int16_t fallback = 0) {
    std::int16_t x = fallback;
    return Succeeded(v.ToI2(x)) ? x : fallback;
}
bool Boolean(const Variant& v) {
    bool b = false;
    return Succeeded(v.ToBool(b)) && b;
}

} // namespace

short CCDRomsRef::GetCount() const {
    return Short(Get(d_, DISPID_CDRoms_Count));
}

std::string CCDRomsRef::FindCDRomName(short index) const {
    return Text(Get(d_, DISPID_CDRoms_FindCDRomName, {Variant::I2(index)}));
}

Variant CTracksRef::Call(DISPID id, short index) const {
    return Get(d_, id, {Variant::I2(index)});
}
short CTracksRef::GetCount() const {
    return Short(Get(d_, DISPID_Tracks_Count));
}
std::string CTracksRef::FindAlbum(short i) const {
    return Text(Call(DISPID_Tracks_FindAlbum, i));
}
std::string CTracksRef::FindArtist(short i) const {
    return Text(Call(DISPID_Tracks_FindArtist, i));
}
std::string CTracksRef::FindComment(short i) const {
    return Text(Call(DISPID_Tracks_FindComment, i));
}
std::string CTracksRef::FindGenre(short i) const {
    return Text(Call(DISPID_Tracks_FindGenre, i));
}
std::string CTracksRef::FindSong(short i) const {
    return Text(Call(DISPID_Tracks_FindSong, i));
}
short CTracksRef::FindYear(short i) const {
    return Short(Call(DISPID_Tracks_FindYear, i));
}
bool CTracksRef::FindIsAudio(short i) const {
    return Boolean(Call(DISPID_Tracks_FindIsAudio, i));
}
long CTracksRef::FindStartSector(short i) const {
    std::int32_t v = -1;
    return Succeeded(Call(DISPID_Tracks_FindStartSector, i).ToI4(v)) ? v : -1;
}

Variant CTrakkon::Invoke(DISPID id, std::vector<Variant> args, std::uint16_t flags) const {
    Variant r;
    if (d_)
        d_->Invoke(id, flags, args, &r);
    return r;
}

bool CTrakkon::InvokeBool(DISPID id, std::vector<Variant> args) const {
    return Boolean(Invoke(id, std::move(args)));
}

CCDRomsRef CTrakkon::GetCDRoms() const {
    Variant r = Invoke(DISPID_CDRoms, {}, DISPATCH_PROPERTYGET);
    return CCDRomsRef(r.Type() == VT_DISPATCH ? ComPtr<IDispatch>(r.AsDispatch()) : nullptr);
}
short CTrakkon::GetCDRom() const {
    return Short(Invoke(DISPID_CDRom, {}, DISPATCH_PROPERTYGET));
}
void CTrakkon::SetCDRom(short index) {
    Invoke(DISPID_CDRom, {Variant::I2(index)}, DISPATCH_PROPERTYPUT);
}
CTracksRef CTrakkon::GetTracks() const {
    Variant r = Invoke(DISPID_Tracks, {}, DISPATCH_PROPERTYGET);
    return CTracksRef(r.Type() == VT_DISPATCH ? ComPtr<IDispatch>(r.AsDispatch()) : nullptr);
}
bool CTrakkon::PlayTrack(short track) {
    return InvokeBool(DISPID_PlayTrack, {Variant::I2(track)});
}
void CTrakkon::PauseTrack() {
    Invoke(DISPID_PauseTrack, {});
}
void CTrakkon::ResumeTrack() {
    Invoke(DISPID_ResumeTrack, {});
}
void CTrakkon::StopRip() {
    Invoke(DISPID_StopRip, {});
}
bool CTrakkon::Rip2Ogg(short trackNo, const std::string& oggFile, short minBitRate,
                       short nomBitRate, short maxBitRate, const Variant& audioChannel,
                       const Variant& frequency) {
    return InvokeBool(DISPID_Rip2Ogg,
                      {Variant::I2(trackNo), Variant::Str(oggFile), Variant::I2(minBitRate),
                       Variant::I2(nomBitRate), Variant::I2(maxBitRate), audioChannel, frequency});
}
bool CTrakkon::Rip2MP3(short trackNo, const std::string& mp3File, short audioBitRate, short quality,
                       short vbrMode, short vbrQuality, const Variant& audioChannel,
                       const Variant& frequency) {
    return InvokeBool(DISPID_Rip2MP3,
                      {Variant::I2(trackNo), Variant::Str(mp3File), Variant::I2(audioBitRate),
                       Variant::I2(quality), Variant::I2(vbrMode), Variant::I2(vbrQuality),
                       audioChannel, frequency});
}
bool CTrakkon::EjectCD(bool flag) {
    return InvokeBool(DISPID_EjectCD, {Variant::Bool(flag)});
}
bool CTrakkon::RefreshCDRom(short index) {
    return InvokeBool(DISPID_RefreshCDRom, {Variant::I2(index)});
}
bool CTrakkon::SetID3Tag(short track, const std::string& artist, const std::string& album,
                         const std::string& song, const std::string& comment,
                         const std::string& genre, short newTrackNo, short year) {
    return InvokeBool(DISPID_SetID3Tag,
                      {Variant::I2(track), Variant::Str(artist), Variant::Str(album),
                       Variant::Str(song), Variant::Str(comment), Variant::Str(genre),
                       Variant::I2(newTrackNo), Variant::I2(year)});
}
void CTrakkon::StopPlayTrack() {
    Invoke(DISPID_StopPlayTrack, {});
}
void CTrakkon::AboutBox() {
    Invoke(DISPID_ABOUTBOX, {});
}
