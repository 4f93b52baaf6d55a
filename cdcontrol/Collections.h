#pragma once
// The drives and tracks collections: automation objects in insertion order,
// found by 1-based position or by name, walked with enumerators.

#include "TrakkonIds.h"

#include "DispatchArgs.h"

#include <memory>
#include <string>
#include <vector>

namespace trakkon {

using automation::ComPtr;
using automation::DISPID;
using automation::HRESULT;
using automation::IDispatch;
using automation::IID;
using automation::Variant;

// An automation object with one interface of its own besides IDispatch.
class DispatchObject : public IDispatch {
public:
    explicit DispatchObject(const IID& iid) : iid_(iid) {}
    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override { return refs_.Add(); }
    std::uint32_t Release() override {
        const std::uint32_t left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~DispatchObject() = default;

private:
    automation::RefCount refs_;
    IID iid_;
};

class CCDRom final : public DispatchObject {
public:
    explicit CCDRom(std::string name) : DispatchObject(IID_ICDRom), name_(std::move(name)) {}
    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

class CTrack final : public DispatchObject {
public:
    CTrack() : DispatchObject(IID_iTrack) {}
    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;
    const std::string& Name() const { return name; }

    std::string name;
    bool isAudio = true;
    std::int32_t startSector = 0;
    std::string album, artist, genre, song, comment;
    std::int16_t year = 0;
};

template <class T> using ObjectList = std::vector<ComPtr<T>>;

// Walks a collection's list. It holds no reference to the collection; once
// the collection is gone it answers E_UNEXPECTED.
template <class T> class CEnumVariant final : public automation::IEnumVARIANT {
public:
    CEnumVariant(const IID& iid, std::weak_ptr<ObjectList<T>> list, size_t pos = 0)
        : iid_(iid), list_(std::move(list)), pos_(pos) {}
    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override { return refs_.Add(); }
    std::uint32_t Release() override {
        const std::uint32_t left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT Next(std::uint32_t celt, Variant* rgVar, std::uint32_t* pceltFetched) override;
    HRESULT Skip(std::uint32_t celt) override;
    HRESULT Reset() override;
    HRESULT Clone(automation::IEnumVARIANT** ppenum) override;

private:
    automation::RefCount refs_;
    IID iid_;
    std::weak_ptr<ObjectList<T>> list_;
    size_t pos_;
};

class CCDRoms final : public DispatchObject {
public:
    CCDRoms() : DispatchObject(IID_ICDRoms) {}
    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;
    void Add(const std::string& name);
    std::string FindCDRomName(int index) const;
    short Count() const { return static_cast<short>(list_->size()); }

private:
    std::shared_ptr<ObjectList<CCDRom>> list_ = std::make_shared<ObjectList<CCDRom>>();
};

class CTracks final : public DispatchObject {
public:
    CTracks() : DispatchObject(IID_ITracks) {}
    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;
    void Clear() { list_->clear(); }
    void Add(ComPtr<CTrack> track) { list_->push_back(std::move(track)); }
    CTrack* At(int index) const;
    short Count() const { return static_cast<short>(list_->size()); }

private:
    std::shared_ptr<ObjectList<CTrack>> list_ = std::make_shared<ObjectList<CTrack>>();
};

} // namespace trakkon
