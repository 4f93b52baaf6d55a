#include "Component.h"

namespace automation {

std::atomic<int>& ModuleLocks() {
    static std::atomic<int> locks{0};
    return locks;
}

namespace {

class ClassFactory final : public IClassFactory {
    AUTOMATION_REFCOUNTED
public:
    explicit ClassFactory(const ComponentClass& cls) : cls_(cls) { ModuleLocks()++; }
    ~ClassFactory() { ModuleLocks()--; }

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return cls_.create(iid, object);
    }
    HRESULT LockServer(bool lock) override {
        lock ? ModuleLocks()++ : ModuleLocks()--;
        return S_OK;
    }

private:
    const ComponentClass& cls_;
};

std::string TypeLibText(const ComponentTypeLib* t) {
    return t ? t->id.ToString() + " " + t->version : std::string();
}

} // namespace

HRESULT RegisterComponent(const void* anchor, const ComponentTypeLib* typeLib,
                          std::span<const ComponentClass> classes) {
    const std::string library = ModulePathOf(anchor);
    if (library.empty())
        return SELFREG_E_CLASS;
    ComponentRegistry registry;
    if (typeLib && Failed(registry.RegisterTypeLib({typeLib->id, typeLib->version, library,
                                                    typeLib->helpFile ? typeLib->helpFile : ""})))
        return SELFREG_E_TYPELIB;
    for (const auto& c : classes)
        if (Failed(registry.RegisterClass({c.clsid, c.progId, library, TypeLibText(typeLib)})))
            return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterComponent(const ComponentTypeLib* typeLib,
                            std::span<const ComponentClass> classes) {
    ComponentRegistry registry;
    if (typeLib && Failed(registry.UnregisterTypeLib(typeLib->id, typeLib->version)))
        return SELFREG_E_TYPELIB;
    for (const auto& c : classes)
        if (Failed(registry.UnregisterClass(c.clsid)))
            return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT GetComponentClassObject(std::span<const ComponentClass> classes, const CLSID& clsid,
                                const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const auto& c : classes) {
        if (c.clsid == clsid && c.create) {
            ComPtr<ClassFactory> factory = ComPtr<ClassFactory>::Attach(new ClassFactory(c));
            return factory->QueryInterface(iid, object);
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace automation
