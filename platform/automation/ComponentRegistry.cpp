#include "ComponentRegistry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace automation {

namespace fs = std::filesystem;

std::string ComponentRegistry::DefaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/Quintrel/components.reg";
}

ComponentRegistry::ComponentRegistry(std::string path) : path_(std::move(path)) {}

// One record a line, fields separated by tabs:
//   class   {CLSID}  ProgID   library  typelib
//   typelib {GUID}   version  library  helpfile
ComponentRegistry::Contents ComponentRegistry::Load() const {
    Contents c;
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string field;
        while (std::getline(ss, field, '\t'))
            f.push_back(field);
        if (f.size() < 4)
            continue;
        auto id = Guid::Parse(f[1]);
        if (!id)
            continue;
        if (f[0] == "class")
            c.classes.push_back({*id, f[2], f[3], f.size() > 4 ? f[4] : std::string()});
        else if (f[0] == "typelib")
            c.typeLibs.push_back({*id, f[2], f[3], f.size() > 4 ? f[4] : std::string()});
    }
    return c;
}

template <class Fn> HRESULT ComponentRegistry::Update(Fn&& change) {
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    const std::string lockPath = path_ + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return E_FAIL;
    ::flock(lockFd, LOCK_EX);
    Contents c = Load();
    change(c);
    const std::string tmp = path_ + ".tmp";
    HRESULT hr = S_OK;
    {
        std::ofstream out(tmp, std::ios::trunc);
        for (const auto& e : c.classes)
            out << "class\t" << e.clsid.ToString() << '\t' << e.progId << '\t' << e.library << '\t'
                << e.typeLib << '\n';
        for (const auto& t : c.typeLibs)
            out << "typelib\t" << t.id.ToString() << '\t' << t.version << '\t' << t.library << '\t'
                << t.helpFile << '\n';
        out.flush();
        if (!out)
            hr = E_FAIL;
    }
    if (hr == S_OK)
        fs::rename(tmp, path_, ec);
    if (ec)
        hr = E_FAIL;
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return hr;
}

HRESULT ComponentRegistry::RegisterClass(const ClassEntry& entry) {
    return Update([&](Contents& c) {
        std::erase_if(c.classes, [&](const ClassEntry& e) {
            return e.clsid == entry.clsid || (!entry.progId.empty() && e.progId == entry.progId);
        });
        c.classes.push_back(entry);
    });
}

HRESULT ComponentRegistry::UnregisterClass(const CLSID& clsid) {
    return Update([&](Contents& c) {
        std::erase_if(c.classes, [&](const ClassEntry& e) { return e.clsid == clsid; });
    });
}

HRESULT ComponentRegistry::RegisterTypeLib(const TypeLibEntry& entry) {
    return Update([&](Contents& c) {
        std::erase_if(c.typeLibs, [&](const TypeLibEntry& t) {
            return t.id == entry.id && t.version == entry.version;
        });
        c.typeLibs.push_back(entry);
    });
}

HRESULT ComponentRegistry::UnregisterTypeLib(const Guid& id, const std::string& version) {
    return Update([&](Contents& c) {
        std::erase_if(c.typeLibs,
                      [&](const TypeLibEntry& t) { return t.id == id && t.version == version; });
    });
}

std::optional<ClassEntry> ComponentRegistry::FindClass(const CLSID& clsid) const {
    for (auto& e : Load().classes)
        if (e.clsid == clsid)
            return e;
    return std::nullopt;
}

std::optional<CLSID> ComponentRegistry::FindProgId(const std::string& progId) const {
    for (auto& e : Load().classes)
        if (e.progId == progId)
            return e.clsid;
    return std::nullopt;
}

std::optional<TypeLibEntry> ComponentRegistry::FindTypeLib(const Guid& id) const {
    for (auto& t : Load().typeLibs)
        if (t.id == id)
            return t;
    return std::nullopt;
}

namespace {

// Component libraries stay loaded once loaded: objects, factories and
// worker threads of a component may outlive any one call.
void* LoadLibrary(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, void*> loaded;
    std::lock_guard lock(mutex);
    if (auto it = loaded.find(path); it != loaded.end())
        return it->second;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle)
        loaded.emplace(path, handle);
    return handle;
}

using GetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using RegisterServerFn = HRESULT (*)();

} // namespace

HRESULT CreateInstance(const CLSID& clsid, const IID& iid, void** object,
                       const ComponentRegistry& registry) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    auto entry = registry.FindClass(clsid);
    if (!entry)
        return REGDB_E_CLASSNOTREG;
    void* lib = LoadLibrary(entry->library);
    if (!lib)
        return CO_E_DLLNOTFOUND;
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(::dlsym(lib, "DllGetClassObject"));
    if (!getClassObject)
        return CO_E_ERRORINDLL;
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
    if (Failed(hr))
        return hr;
    return factory->CreateInstance(nullptr, iid, object);
}

SelfRegistration RegisterServer(const std::string& libraryPath, HRESULT* result) {
    void* lib = LoadLibrary(libraryPath);
    if (!lib)
        return SelfRegistration::NotLoadable;
    auto reg = reinterpret_cast<RegisterServerFn>(::dlsym(lib, "DllRegisterServer"));
    if (!reg)
        return SelfRegistration::NoEntryPoint;
    const HRESULT hr = reg();
    if (result)
        *result = hr;
    return SelfRegistration::Called;
}

std::string ModulePathOf(const void* addressInModule) {
    Dl_info info{};
    if (::dladdr(addressInModule, &info) && info.dli_fname) {
        std::error_code ec;
        auto p = fs::canonical(info.dli_fname, ec);
        return ec ? std::string(info.dli_fname) : p.string();
    }
    return {};
}

} // namespace automation
