#include "FetchWebFile.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <thread>

namespace update {

namespace {

// The body goes to disk in pieces of at most this many bytes.
constexpr std::size_t kChunk = 1999;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    bool Add(const char* line) {
        curl_slist* next = curl_slist_append(list, line);
        if (next)
            list = next;
        return next != nullptr;
    }
};

struct Url {
    CURLU* h = curl_url();
    ~Url() { curl_url_cleanup(h); }
    std::string Get(CURLUPart part) const {
        char* text = nullptr;
        if (!h || curl_url_get(h, part, &text, 0) != CURLUE_OK)
            return {};
        std::string s(text);
        curl_free(text);
        return s;
    }
};

// The local copy is written to a hidden file beside its final name and put
// in place only when the whole body has arrived, so a broken transfer never
// leaves a cut-off file and an older copy survives it.
class LocalCopy {
public:
    LocalCopy(const std::string& dir, const std::string& name)
        : dir_(dir), name_(name), target_(dir + "/" + name) {}
    ~LocalCopy() { Discard(); }

    bool Open() {
        Discard();
        std::random_device rd;
        for (int attempt = 0; attempt < 64; ++attempt) {
            char tag[16];
            std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(rd()));
            std::string tmp = dir_ + "/." + name_ + ".part" + tag;
            fd_ = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                tmp_ = std::move(tmp);
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        error = errno;
        return false;
    }

    bool Write(const char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t piece = size < kChunk ? size : kChunk;
            const ssize_t n = ::write(fd_, data, piece);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Closes the copy and puts it in place of the target.
    bool Commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 || ::rename(tmp_.c_str(), target_.c_str()) != 0) {
            error = errno;
            ::unlink(tmp_.c_str());
            tmp_.clear();
            return false;
        }
        tmp_.clear();
        return true;
    }

    void Discard() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        if (!tmp_.empty())
            ::unlink(tmp_.c_str());
        tmp_.clear();
    }

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& target() const { return target_; }
    int error = 0;

private:
    std::string dir_, name_, target_, tmp_;
    int fd_ = -1;
};

// What one request has seen so far.
struct Exchange {
    const FetchSettings* settings = nullptr;
    LocalCopy* copy = nullptr;
    std::string headers; // raw header block of the last response, CR LF separated
    int status = 0;
    bool headersDone = false;
    std::size_t received = 0;
    bool tooLarge = false;
    bool fileFailed = false;

    void Reset() {
        headers.clear();
        status = 0;
        headersDone = false;
        received = 0;
        tooLarge = false;
        fileFailed = false;
        copy->Discard();
    }
};

int ParseStatus(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos)
        return 0;
    int status = 0;
    for (std::size_t i = blank + 1; i < line.size() && i < blank + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// A Content-Length line announcing more than the limit.
bool AnnouncesTooMuch(std::string_view line, std::size_t limit) {
    constexpr std::string_view name = "content-length:";
    if (!StartsWithNoCase(line, name))
        return false;
    unsigned long long length = 0;
    for (std::size_t i = name.size(); i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t')
            continue;
        if (c < '0' || c > '9')
            break;
        if (length > (~0ULL - 9) / 10)
            return true;
        length = length * 10 + static_cast<unsigned>(c - '0');
    }
    return length > limit;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<Exchange*>(user);
    const size_t length = size * count;
    const std::string_view line(data, length);
    if (line.starts_with("HTTP/")) { // a new response (after an interim one)
        x.headers.clear();
        x.status = ParseStatus(line);
    }
    x.headers.append(line);
    if (AnnouncesTooMuch(line, x.settings->maxBodyBytes))
        x.tooLarge = true;
    if (line != "\r\n" && line != "\n")
        return length;
    if (x.status >= 100 && x.status < 200)
        return length;
    x.headersDone = true;
    // Only a 200 is worth its body; ending here reads nothing of any other.
    if (x.status != 200 || x.tooLarge)
        return 0;
    if (!x.copy->Open()) {
        x.fileFailed = true;
        return 0;
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<Exchange*>(user);
    const size_t length = size * count;
    if (!x.copy->IsOpen())
        return 0;
    if (length > x.settings->maxBodyBytes - x.received) {
        x.tooLarge = true;
        return 0;
    }
    x.received += length;
    if (!x.copy->Write(data, length)) {
        x.fileFailed = true;
        return 0;
    }
    return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& x = *static_cast<Exchange*>(user);
    return x.settings->cancel && x.settings->cancel->load() ? 1 : 0;
}

bool Cancelled(const FetchSettings& s) {
    return s.cancel && s.cancel->load();
}

// Waits ms milliseconds; false when cancelled meanwhile.
bool Pause(long ms, const FetchSettings& s) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (Cancelled(s))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !Cancelled(s);
}

// Runs the request; a connection attempt that timed out is tried again
// after the back-off, as often as the settings allow.
CURLcode Perform(CURL* curl, Exchange& x) {
    const FetchSettings& s = *x.settings;
    for (int attempt = 0;; ++attempt) {
        x.Reset();
        const CURLcode rc = curl_easy_perform(curl);
        curl_off_t connectTime = 0;
        curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
        const bool connectTimedOut =
            rc == CURLE_OPERATION_TIMEDOUT && x.status == 0 && connectTime == 0;
        if (!connectTimedOut || attempt >= s.connectRetries)
            return rc;
        if (!Pause(s.connectBackOffMs, s))
            return CURLE_ABORTED_BY_CALLBACK;
    }
}

std::string ServerUrl(const std::string& host, std::uint16_t port, const std::string& fileName) {
    Url url;
    if (!url.h || host.empty())
        return {};
    const std::string hostPart =
        host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
    const std::string path = "/" + fileName;
    const std::string portText = std::to_string(port);
    if (curl_url_set(url.h, CURLUPART_SCHEME, "http", 0) != CURLUE_OK ||
        curl_url_set(url.h, CURLUPART_HOST, hostPart.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.h, CURLUPART_PORT, portText.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.h, CURLUPART_PATH, path.c_str(), CURLU_URLENCODE) != CURLUE_OK)
        return {};
    return url.Get(CURLUPART_URL);
}

// The redirect target from the raw header block: the text after
// "Location: " up to the end of its line. Empty when there is none or it
// names no server (a relative path, say).
std::string RedirectUrl(const std::string& headers) {
    const std::size_t at = headers.find("Location: ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + 10;
    const std::size_t end = headers.find_first_of("\r\n", start);
    const std::string target = headers.substr(start, end == std::string::npos ? end : end - start);
    Url url;
    if (!url.h || curl_url_set(url.h, CURLUPART_URL, target.c_str(), 0) != CURLUE_OK)
        return {};
    const std::string scheme = url.Get(CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https")
        return {};
    return url.Get(CURLUPART_URL);
}

} // namespace

bool IsRefusedFileName(const std::string& fileName) {
    // Only bare names: the name is also the local file's name.
    if (fileName.empty() || fileName == "." || fileName == "..")
        return true;
    for (const unsigned char c : fileName)
        if (c == '/' || c < 0x20 || c == 0x7f)
            return true;
    if (fileName.size() < 3)
        return false;
    const std::string_view tail = std::string_view(fileName).substr(fileName.size() - 3);
    for (const char* refused : {"exe", "com", "dll", "bat", "sys", "inf"})
        if (tail == refused)
            return true;
    return false;
}

int FetchWebFile(const std::string& agent, const std::string& host, std::uint16_t port,
                 std::string fileName, const FetchSettings& settings) {
    if (IsRefusedFileName(fileName))
        return 0;
    const std::string url = ServerUrl(host, port, fileName);
    if (url.empty())
        return 0;

    GlobalInit();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> session(curl_easy_init(),
                                                                curl_easy_cleanup);
    if (!session)
        return 0;
    CURL* curl = session.get();
    LocalCopy copy(settings.localDir, fileName);
    Exchange x;
    x.settings = &settings;
    x.copy = &copy;

    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
    if (settings.stallSeconds > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds);
    }
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kChunk));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &x);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &x);

    HeaderList first;
    if (!first.Add(kAcceptLine) || !first.Add(kUserAgentLine))
        return 0;
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, first.list);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    CURLcode rc = Perform(curl, x);

    // The second request of a redirect carries the Accept line only, so it
    // goes out with the agent name as its User-Agent.
    HeaderList second;
    if (x.headersDone && !x.fileFailed && (x.status == 301 || x.status == 302 || x.status == 303) &&
        !Cancelled(settings)) {
        const std::string target = RedirectUrl(x.headers);
        if (target.empty() || !second.Add(kAcceptLine))
            return 0;
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, second.list);
        curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
        rc = Perform(curl, x);
    }

    if (Cancelled(settings))
        return 0;
    if (x.fileFailed)
        throw LocalFileError(copy.error, copy.target());
    if (!x.headersDone)
        return 0;
    if (x.status != 200)
        return x.status;
    if (rc != CURLE_OK || x.tooLarge)
        return 0; // the copy is discarded
    if (!copy.Commit())
        throw LocalFileError(copy.error, copy.target());
    return 200;
}

} // namespace update
