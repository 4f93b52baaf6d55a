#include "Collections.h"

namespace trakkon {

using namespace automation;

namespace {

bool IsGet(std::uint16_t flags) {
    return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
}

// Read-only properties: writing is refused the way the framework refuses it.
HRESULT ReadOnly(std::uint16_t flags, Variant* result, Variant value) {
    if (!IsGet(flags))
        return CTL_E_SETNOTSUPPORTED;
    SetResult(result, std::move(value));
    return S_OK;
}

// Item's key: a name compared byte for byte, or a 1-based position.
template <class T> IDispatch* FindItem(const ObjectList<T>& list, const Variant& key) {
    if (key.Type() == VT_BSTR) {
        for (const ComPtr<T>& item : list)
            if (item && item->Name() == key.AsStr())
                return item.Get();
        return nullptr;
    }
    std::int32_t pos = 0;
    if (Failed(key.ToI4(pos)) || pos < 1 || pos > static_cast<std::int32_t>(list.size()))
        return nullptr;
    return list[static_cast<size_t>(pos - 1)].Get();
}

template <class T>
HRESULT NewEnum(const IID& iid, const std::shared_ptr<ObjectList<T>>& list, Variant* result) {
    auto* e = new CEnumVariant<T>(iid, list);
    e->Reset();
    SetResult(result, Variant::Unknown(e));
    e->Release(); // the variant holds the first reference
    return S_OK;
}

// The collections' Item and _NewEnum: read-only properties.
template <class T>
HRESULT ItemProperty(std::uint16_t flags, DispatchArgs& a, const ObjectList<T>& list,
                     Variant* result) {
    if (!IsGet(flags))
        return CTL_E_SETNOTSUPPORTED;
    if (a.IsMissing(0))
        return DISP_E_PARAMNOTFOUND;
    SetResult(result, Variant::Dispatch(FindItem(list, a.At(0))));
    return S_OK;
}

template <class T>
HRESULT EnumProperty(std::uint16_t flags, const IID& iid,
                     const std::shared_ptr<ObjectList<T>>& list, Variant* result) {
    if (!IsGet(flags))
        return CTL_E_SETNOTSUPPORTED;
    return NewEnum(iid, list, result);
}

} // namespace

HRESULT DispatchObject::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CCDRom::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>&, Variant* result) {
    if (id == DISPID_CDRom_Name)
        return ReadOnly(flags, result, Variant::Str(name_));
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CTrack::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>&, Variant* result) {
    switch (id) {
    case DISPID_Track_Name:
        return ReadOnly(flags, result, Variant::Str(name));
    case DISPID_Track_IsAudio:
        return ReadOnly(flags, result, Variant::Bool(isAudio));
    case DISPID_Track_StartSector:
        return ReadOnly(flags, result, Variant::I4(startSector));
    case DISPID_Track_Album:
        return ReadOnly(flags, result, Variant::Str(album));
    case DISPID_Track_Artist:
        return ReadOnly(flags, result, Variant::Str(artist));
    case DISPID_Track_Year:
        return ReadOnly(flags, result, Variant::I2(year));
    case DISPID_Track_Genre:
        return ReadOnly(flags, result, Variant::Str(genre));
    case DISPID_Track_Song:
        return ReadOnly(flags, result, Variant::Str(song));
    case DISPID_Track_Comment:
        return ReadOnly(flags, result, Variant::Str(comment));
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

template <class T> HRESULT CEnumVariant<T>::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT || iid == iid_) {
        *object = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

template <class T>
HRESULT CEnumVariant<T>::Next(std::uint32_t celt, Variant* rgVar, std::uint32_t* pceltFetched) {
    if (!pceltFetched && celt > 1)
        return E_INVALIDARG;
    if (pceltFetched)
        *pceltFetched = 0;
    auto list = list_.lock();
    if (!list)
        return E_UNEXPECTED;
    if (celt > 0 && !rgVar)
        return E_POINTER;
    std::uint32_t fetched = 0;
    while (fetched < celt && pos_ < list->size()) {
        const ComPtr<T>& item = (*list)[pos_];
        if (!item)
            return E_UNEXPECTED;
        rgVar[fetched] = Variant::Dispatch(item.Get());
        ++fetched;
        ++pos_;
        if (pceltFetched)
            *pceltFetched = fetched;
    }
    return fetched == celt ? S_OK : S_FALSE;
}

template <class T> HRESULT CEnumVariant<T>::Skip(std::uint32_t celt) {
    auto list = list_.lock();
    if (!list)
        return E_UNEXPECTED;
    std::uint32_t passed = 0;
    while (passed < celt && pos_ < list->size()) {
        ++pos_;
        ++passed;
    }
    return passed == celt ? S_OK : S_FALSE;
}

template <class T> HRESULT CEnumVariant<T>::Reset() {
    pos_ = 0;
    return S_OK;
}

template <class T> HRESULT CEnumVariant<T>::Clone(IEnumVARIANT** ppenum) {
    if (!ppenum)
        return E_POINTER;
    auto* e = new (std::nothrow) CEnumVariant<T>(iid_, list_, pos_);
    *ppenum = e;
    return e ? S_OK : E_OUTOFMEMORY;
}

template class CEnumVariant<CCDRom>;
template class CEnumVariant<CTrack>;

void CCDRoms::Add(const std::string& name) {
    list_->push_back(ComPtr<CCDRom>::Attach(new CCDRom(name)));
}

std::string CCDRoms::FindCDRomName(int index) const {
    if (index < 0 || index >= static_cast<int>(list_->size()))
        return {};
    return (*list_)[static_cast<size_t>(index)]->Name();
}

HRESULT CCDRoms::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                        Variant* result) {
    DispatchArgs a(args);
    switch (id) {
    case DISPID_CDRoms_Count:
        return ReadOnly(flags, result, Variant::I2(Count()));
    case DISPID_CDRoms_FindCDRomName: {
        std::int16_t i = 0;
        if (HRESULT hr = a.I2(0, i); Failed(hr))
            return hr;
        SetResult(result, Variant::Str(FindCDRomName(i)));
        return S_OK;
    }
    case DISPID_CDRoms_Item:
        return ItemProperty(flags, a, *list_, result);
    case DISPID_NEWENUM:
        return EnumProperty(flags, IID_IEnumCDRoms, list_, result);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

CTrack* CTracks::At(int index) const {
    if (index < 0 || index >= static_cast<int>(list_->size()))
        return nullptr;
    return (*list_)[static_cast<size_t>(index)].Get();
}

HRESULT CTracks::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                        Variant* result) {
    DispatchArgs a(args);
    if (id >= DISPID_Tracks_FindAlbum && id <= DISPID_Tracks_FindStartSector) {
        std::int16_t i = 0;
        if (HRESULT hr = a.I2(0, i); Failed(hr))
            return hr;
        const CTrack* t = At(i);
        auto text = [&](const std::string CTrack::*field) {
            return Variant::Str(t ? t->*field : std::string());
        };
        switch (id) {
        case DISPID_Tracks_FindAlbum:
            SetResult(result, text(&CTrack::album));
            break;
        case DISPID_Tracks_FindArtist:
            SetResult(result, text(&CTrack::artist));
            break;
        case DISPID_Tracks_FindComment:
            SetResult(result, text(&CTrack::comment));
            break;
        case DISPID_Tracks_FindGenre:
            SetResult(result, text(&CTrack::genre));
            break;
        case DISPID_Tracks_FindSong:
            SetResult(result, text(&CTrack::song));
            break;
        case DISPID_Tracks_FindYear:
            SetResult(result, Variant::I2(t ? t->year : 0));
            break;
        case DISPID_Tracks_FindIsAudio:
            SetResult(result, Variant::Bool(t ? t->isAudio : false));
            break;
        default: // DISPID_Tracks_FindStartSector
            SetResult(result, Variant::I4(t ? t->startSector : -1));
            break;
        }
        return S_OK;
    }
    switch (id) {
    case DISPID_Tracks_Count:
        return ReadOnly(flags, result, Variant::I2(Count()));
    case DISPID_Tracks_Item:
        return ItemProperty(flags, a, *list_, result);
    case DISPID_NEWENUM:
        return EnumProperty(flags, IID_IEnumTracks, list_, result);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace trakkon
