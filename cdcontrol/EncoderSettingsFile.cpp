#include "EncoderSettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace trakkon {

namespace {
std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find('='));
}
} // namespace

void EncoderSettingsFile::Load() {
    lines_.clear();
    {
        std::ifstream probe(path_);
        if (!probe)
            std::ofstream create(path_, std::ios::app);
    }
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line == "[setup]" || line[0] == '#')
            continue;
        lines_.push_back(line);
    }
}

bool EncoderSettingsFile::Set(const std::string& key, int value) {
    const std::string entry = key + "=" + std::to_string(value);
    const std::string entryKey = KeyOf(entry);
    bool replaced = false;
    for (std::string& line : lines_) {
        if (KeyOf(line) == entryKey) {
            line = entry;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        lines_.push_back(entry);
    // Written beside the file and renamed over it, so that a reader in
    // another thread or process never sees half a file.
    const std::string temp = path_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "\n[setup]\n";
        for (const std::string& line : lines_)
            out << line << "\n";
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

int EncoderSettingsFile::Get(const std::string& key) const {
    for (const std::string& line : lines_) {
        if (KeyOf(line) != key)
            continue;
        const size_t eq = line.find('=');
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        if (value.empty())
            return -1;
        return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
    }
    return -1;
}

} // namespace trakkon
