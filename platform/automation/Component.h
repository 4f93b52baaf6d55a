#pragma once
// What a component library needs to be registered and created: its class
// table, a class factory per class, and the four exported entry points.

#include "ComponentRegistry.h"

#include <atomic>
#include <span>

namespace automation {

struct ComponentClass {
    CLSID clsid;
    const char* progId;
    // Creates a new object and queries it for iid; null for classes that are
    // registered but not created through this module (property pages).
    HRESULT (*create)(const IID& iid, void** object);
};

struct ComponentTypeLib {
    Guid id;
    const char* version;
    const char* helpFile;
};

// Counts live objects and server locks, for DllCanUnloadNow.
std::atomic<int>& ModuleLocks();

HRESULT RegisterComponent(const void* anchor, const ComponentTypeLib* typeLib,
                          std::span<const ComponentClass> classes);
HRESULT UnregisterComponent(const ComponentTypeLib* typeLib,
                            std::span<const ComponentClass> classes);
HRESULT GetComponentClassObject(std::span<const ComponentClass> classes, const CLSID& clsid,
                                const IID& iid, void** object);

} // namespace automation

// Defines the four exported entry points of a component library from its
// type library (or nullptr) and its class table.
#define AUTOMATION_COMPONENT_EXPORTS(typeLibPtr, classTable)                                       \
    extern "C" __attribute__((visibility("default"))) ::automation::HRESULT DllRegisterServer() {  \
        return ::automation::RegisterComponent(reinterpret_cast<const void*>(&DllRegisterServer),  \
                                               typeLibPtr, classTable);                            \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::automation::HRESULT                        \
    DllUnregisterServer() {                                                                        \
        return ::automation::UnregisterComponent(typeLibPtr, classTable);                          \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::automation::HRESULT DllGetClassObject(     \
        const ::automation::CLSID& clsid, const ::automation::IID& iid, void** object) {           \
        return ::automation::GetComponentClassObject(classTable, clsid, iid, object);              \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::automation::HRESULT DllCanUnloadNow() {    \
        return ::automation::ModuleLocks().load() == 0 ? ::automation::S_OK                        \
                                                       : ::automation::S_FALSE;                    \
    }
