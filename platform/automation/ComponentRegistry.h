#pragma once
// The per-user component registry: which library implements which class.
// A component is a shared library exporting DllRegisterServer,
// DllUnregisterServer, DllGetClassObject and DllCanUnloadNow; registering
// records its classes here, and creating by class id loads the library.

#include "Dispatch.h"

#include <optional>
#include <string>
#include <vector>

namespace automation {

struct ClassEntry {
    CLSID clsid;
    std::string progId;
    std::string library; // absolute path of the implementing library
    std::string typeLib; // "{GUID} version" of its type library, or empty
};

struct TypeLibEntry {
    Guid id;
    std::string version; // "1.0"
    std::string library;
    std::string helpFile;
};

class ComponentRegistry {
public:
    // $XDG_CONFIG_HOME/Quintrel/components.reg (~/.config when unset).
    static std::string DefaultPath();
    explicit ComponentRegistry(std::string path = DefaultPath());

    HRESULT RegisterClass(const ClassEntry& entry);
    HRESULT UnregisterClass(const CLSID& clsid);
    HRESULT RegisterTypeLib(const TypeLibEntry& entry);
    HRESULT UnregisterTypeLib(const Guid& id, const std::string& version);

    std::optional<ClassEntry> FindClass(const CLSID& clsid) const;
    std::optional<CLSID> FindProgId(const std::string& progId) const;
    std::optional<TypeLibEntry> FindTypeLib(const Guid& id) const;

    const std::string& Path() const { return path_; }

private:
    struct Contents {
        std::vector<ClassEntry> classes;
        std::vector<TypeLibEntry> typeLibs;
    };
    Contents Load() const;
    // Read-modify-write under an exclusive file lock; the file is replaced
    // atomically so a crash never leaves it half written.
    template <class Fn> HRESULT Update(Fn&& change);

    std::string path_;
};

// Creates an object of a registered class: finds its library in the
// registry, loads it (once per process) and asks its class factory.
// REGDB_E_CLASSNOTREG, CO_E_DLLNOTFOUND or CO_E_ERRORINDLL on failure.
HRESULT CreateInstance(const CLSID& clsid, const IID& iid, void** object,
                       const ComponentRegistry& registry = ComponentRegistry());

enum class SelfRegistration {
    Called,       // DllRegisterServer ran; its result is in *result
    NotLoadable,  // the file is missing or cannot be loaded
    NoEntryPoint, // loaded, but exports no DllRegisterServer
};

// Loads a component library and calls its DllRegisterServer. The library
// stays loaded for the life of the process.
SelfRegistration RegisterServer(const std::string& libraryPath, HRESULT* result = nullptr);

// Path of the shared object (or program) that contains the given address;
// a component uses it to register its own file.
std::string ModulePathOf(const void* addressInModule);

} // namespace automation
