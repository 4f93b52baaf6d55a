#pragma once
// encoder.ini in the control's folder: a "[setup]" header and key=value
// lines, shared with the CD access library and the Ogg output module.

#include <string>
#include <vector>

namespace trakkon {

class EncoderSettingsFile {
public:
    explicit EncoderSettingsFile(std::string path) : path_(std::move(path)) {}

    // Reads the lines, creating an empty file when there is none. The header,
    // comment lines ("#...") and empty lines are dropped.
    void Load();
    // Replaces the first line with this key, or appends one, and rewrites
    // the file. False when the file could not be rewritten.
    bool Set(const std::string& key, int value);
    // The leading decimal integer of the key's value; -1 when the key is
    // missing or its value is empty.
    int Get(const std::string& key) const;

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::string path_;
    std::vector<std::string> lines_;
};

} // namespace trakkon
