#pragma once
// Registration identities of the CD ripping control.

#include "Dispatch.h"
#include "Guid.h"

#include <cstdint>

namespace trakkon {

using automation::MakeGuid;

inline constexpr automation::Guid LIBID_TRAKKONLib =
    MakeGuid("{175AB0EE-CFF4-401C-8CCF-85EBA8998646}");
inline constexpr automation::CLSID CLSID_Trakkon =
    MakeGuid("{30B7A913-C86B-486F-9DB1-1D326E09EAD8}");
inline constexpr const char* kProgId = "TRAKKON.TrakkonCtrl.1";
inline constexpr automation::CLSID CLSID_TrakkonPropPage =
    MakeGuid("{09D5C5AD-4625-4CEB-BEB6-75CE2E3F6CFA}");
inline constexpr const char* kPropPageProgId = "TRAKKON.TrakkonPropPage.1";
inline constexpr automation::IID DIID__DTrakkon =
    MakeGuid("{E6B4E407-8ADE-4FF5-B340-CA1BE0945F45}");
inline constexpr automation::IID DIID__DTrakkonEvents =
    MakeGuid("{ED23DB6E-A457-48A4-8CA0-19CFEBF962E1}");

} // namespace trakkon

namespace trakkon {

// Collections and their enumerators.
inline constexpr automation::IID IID_ICDRoms = MakeGuid("{7400B418-FCC4-4213-AA4A-D6768238DACF}");
inline constexpr automation::CLSID CLSID_CDRoms =
    MakeGuid("{8EB35384-7E57-4553-A97E-01FFD89F15D4}");
inline constexpr automation::IID IID_ICDRom = MakeGuid("{04BF0095-BCEC-438C-ACB9-F94253C9155E}");
inline constexpr automation::CLSID CLSID_CDRom = MakeGuid("{8601B779-992A-4BDA-B075-5ED5641F1849}");
inline constexpr automation::IID IID_ITracks = MakeGuid("{4D469FF0-37E2-4C1C-A79E-BBAD90CCE48F}");
inline constexpr automation::CLSID CLSID_Tracks =
    MakeGuid("{6313F77A-7E5A-41BF-8F81-D2E2ADFF8092}");
inline constexpr automation::IID IID_iTrack = MakeGuid("{651C3E98-70A8-42CD-AC0D-6FA1E6352034}");
inline constexpr automation::CLSID CLSID_Track = MakeGuid("{D615FE74-83A9-4B03-B749-87B3457DE28B}");
inline constexpr automation::IID IID_IEnumCDRoms =
    MakeGuid("{29095644-37BD-4983-B4AC-67493DE96A8A}");
inline constexpr automation::CLSID CLSID_EnumCDRoms =
    MakeGuid("{2515DA9E-60D1-48BF-8D69-820B95D77272}");
inline constexpr automation::IID IID_IEnumTracks =
    MakeGuid("{BF48D95F-BDF7-47A8-B234-BFA0BD7804C7}");
inline constexpr automation::CLSID CLSID_EnumTracks =
    MakeGuid("{7CA3C412-A830-4B59-B476-FE6C6455B7C1}");

// _DTrakkon
enum TrakkonDispId : automation::DISPID {
    DISPID_CDRoms = 1,
    DISPID_CDRom = 2,
    DISPID_Tracks = 3,
    DISPID_PlayTrack = 5,
    DISPID_PauseTrack = 6,
    DISPID_ResumeTrack = 7,
    DISPID_StopRip = 8,
    DISPID_Rip2Ogg = 9,
    DISPID_Rip2MP3 = 10,
    DISPID_EjectCD = 11,
    DISPID_RefreshCDRom = 12,
    DISPID_SetID3Tag = 13,
    DISPID_StopPlayTrack = 14,
};

// _DTrakkonEvents. RipFailed is fired in place of EndRip when a rip cannot
// go on (its argument is a RipFailure); hosts that do not know it ignore it.
enum TrakkonEventId : automation::DISPID {
    EVENTID_PlayingTrack = 1,
    EVENTID_Ripping = 2,
    EVENTID_CDRomStatus = 3,
    EVENTID_EndPlayTrack = 4,
    EVENTID_EndRip = 5,
    EVENTID_RipFailed = 6,
};

enum RipFailure : std::int32_t {
    kRipFailEncoderLoad = 1, // the encoder library or its entry points are missing
    kRipFailEncoderOpen = 2, // the encoder refused the output file or the settings
    kRipFailRange = 3,       // the drive could not open the track's sectors
};

// ICDRoms, ICDRom
enum CDRomsDispId : automation::DISPID {
    DISPID_CDRoms_Count = 1,
    DISPID_CDRoms_FindCDRomName = 2,
    DISPID_CDRoms_Item = 3,
    DISPID_CDRom_Name = 1,
};

// ITracks, iTrack
enum TracksDispId : automation::DISPID {
    DISPID_Tracks_Count = 1,
    DISPID_Tracks_FindAlbum = 2,
    DISPID_Tracks_FindArtist = 3,
    DISPID_Tracks_FindComment = 4,
    DISPID_Tracks_FindGenre = 5,
    DISPID_Tracks_FindSong = 6,
    DISPID_Tracks_FindYear = 7,
    DISPID_Tracks_FindIsAudio = 8,
    DISPID_Tracks_FindStartSector = 9,
    DISPID_Tracks_Item = 10,
    DISPID_Track_Name = 1,
    DISPID_Track_IsAudio = 2,
    DISPID_Track_StartSector = 3,
    DISPID_Track_Album = 4,
    DISPID_Track_Artist = 5,
    DISPID_Track_Year = 6,
    DISPID_Track_Genre = 7,
    DISPID_Track_Song = 8,
    DISPID_Track_Comment = 9,
};

} // namespace trakkon
