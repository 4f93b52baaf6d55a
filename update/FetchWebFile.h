#pragma once
// Downloads one file from a web server over HTTP into a local folder.
// Plain C++ over libcurl, no Qt: the update page runs it on a worker thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace update {

// The two header lines every request starts with (the second one only on
// the first request; a followed redirect goes out with the agent name).
inline constexpr const char* kAcceptLine =
    "Accept: audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, "
    "image/gif, image/jpg, image/png, image/mng, image/bmp, text/plain, text/html, text/htm";
inline constexpr const char* kUserAgentLine = "User-Agent: GetWebFile/1.0";

struct FetchSettings {
    // Folder that receives the file, under the requested name.
    std::string localDir;
    // Waiting for a connection: time-out per attempt, pause before the next
    // attempt, and how many more attempts follow a timed-out one.
    long connectTimeoutMs = 30000;
    long connectBackOffMs = 1000;
    int connectRetries = 1;
    // A response that sends nothing for this long is given up (0 = never).
    long stallSeconds = 30;
    // Larger bodies are refused: the files fetched here are one line.
    std::size_t maxBodyBytes = 64 * 1024;
    // Set from another thread to give up as soon as possible (result 0).
    const std::atomic<bool>* cancel = nullptr;
};

// The local file could not be created or written. Not a fetch result: the
// caller reports it to the user as the system's error.
class LocalFileError : public std::system_error {
public:
    LocalFileError(int err, const std::string& path)
        : std::system_error(err, std::generic_category(), path), path_(path) {}
    const std::string& path() const { return path_; }
    // The system's text for the error, without the path.
    std::string reason() const { return code().message(); }

private:
    std::string path_;
};

// True when the name may not be fetched: its last three characters are one
// of exe, com, dll, bat, sys, inf (exact case), or it is no bare file name.
bool IsRefusedFileName(const std::string& fileName);

// Fetches http://host:port/fileName and stores the body as
// settings.localDir/fileName. Returns 0 when nothing usable came back (no
// connection, a network failure, a refused name, an unusable redirect, a
// body over the limit, cancel), otherwise the HTTP status of the last
// response; 200 means the file is stored. One 301/302/303 is followed
// through its "Location: " line; a second one is returned as the result.
// The file is replaced only once the whole body has arrived; a failed
// transfer leaves no partial file behind. Blocks; safe on any thread.
// Throws LocalFileError when the local file cannot be written.
int FetchWebFile(const std::string& agent, const std::string& host, std::uint16_t port,
                 std::string fileName, const FetchSettings& settings);

} // namespace update
