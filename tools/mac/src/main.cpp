// mac: encodes a PCM WAV file into a Monkey's Audio (.ape) file.
//
// The output is written under a temporary name in the destination folder and renamed
// into place only once it is complete, so a failed or interrupted run leaves nothing.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ape_file.h"
#include "wav_reader.h"

namespace {

using quintrel::mac::Level;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: mac INPUT.wav OUTPUT.ape -cLEVEL\n"
    "\n"
    "Encodes a PCM WAV file (8, 16 or 24 bits, mono or stereo) into a Monkey's Audio\n"
    "file (format version 3.99).\n"
    "\n"
    "Compression levels:\n"
    "  -c1000  fast        stage-1 predictor only; quickest, largest files\n"
    "  -c2000  normal      adds a 16-tap adaptive (NN) filter\n"
    "  -c3000  high        adds a 64-tap adaptive filter\n"
    "  -c4000  extra high  adds 256-tap and 32-tap adaptive filters; smallest, slowest\n"
    "\n"
    "The output is written to a temporary file next to OUTPUT and renamed when complete;\n"
    "on any error or interruption no output file is left behind. A WAV without samples\n"
    "is refused (an APE file cannot hold zero frames).\n"
    "Exit status: 0 on success, 1 on an input or output error, 2 on a usage error.\n";

// Path of the temporary output, for the signal handler. Written before the handler can
// observe it (signals are blocked while it changes).
char g_tempPath[4096];

extern "C" void onSignal(int sig) {
    if (g_tempPath[0])
        ::unlink(g_tempPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void blockSignals(bool block) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void installHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

void clearTemp() {
    blockSignals(true);
    if (g_tempPath[0])
        ::unlink(g_tempPath);
    g_tempPath[0] = '\0';
    blockSignals(false);
}

int fail(const std::string& msg) {
    clearTemp();
    std::fprintf(stderr, "mac: %s\n", msg.c_str());
    return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    std::string input, output;
    int level = 0;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a.size() > 2 && a.compare(0, 2, "-c") == 0) {
            const std::string digits = a.substr(2);
            char* end = nullptr;
            const long v = std::strtol(digits.c_str(), &end, 10);
            if (*end || !quintrel::mac::isValidLevel(static_cast<int>(v))) {
                std::fprintf(stderr, "mac: unknown compression level '%s'\n%s", a.c_str(), kUsage);
                return kExitUsage;
            }
            level = static_cast<int>(v);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "mac: unknown option '%s'\n%s", a.c_str(), kUsage);
            return kExitUsage;
        } else {
            (positional == 0 ? input : output) = a;
            ++positional;
        }
    }
    if (positional != 2 || level == 0) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    // Temporary file in the destination folder, so the final rename stays on one filesystem.
    const auto slash = output.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : output.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? output : output.substr(slash + 1);
    if (base.empty())
        return fail("output path names a folder: " + output);
    std::string tmpl = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    if (tmpl.size() >= sizeof g_tempPath)
        return fail("output path is too long");

    installHandlers();
    blockSignals(true);
    std::strcpy(g_tempPath, tmpl.c_str());
    const int fd = ::mkstemp(g_tempPath);
    if (fd < 0) {
        const std::string why = std::strerror(errno);
        g_tempPath[0] = '\0';
        blockSignals(false);
        return fail("cannot create a file in " + dir + ": " + why);
    }
    blockSignals(false);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    std::FILE* out = ::fdopen(fd, "wb");
    if (!out) {
        ::close(fd);
        return fail("cannot open the temporary output");
    }
    static char iobuf[1 << 16];
    std::setvbuf(out, iobuf, _IOFBF, sizeof iobuf);

    try {
        const unsigned threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
        quintrel::mac::encodeFile(
            input, out, static_cast<Level>(level), threads,
            [](const std::string& w) { std::fprintf(stderr, "mac: warning: %s\n", w.c_str()); });
        if (std::fflush(out) != 0 || ::fsync(::fileno(out)) != 0)
            throw std::runtime_error(std::string("cannot write the output: ") +
                                     std::strerror(errno));
    } catch (const quintrel::mac::WavError& e) {
        std::fclose(out);
        return fail(input + ": " + e.what());
    } catch (const std::exception& e) {
        std::fclose(out);
        return fail(e.what());
    }
    if (std::fclose(out) != 0)
        return fail(std::string("cannot write the output: ") + std::strerror(errno));

    blockSignals(true);
    if (::rename(g_tempPath, output.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        blockSignals(false);
        return fail("cannot create " + output + ": " + why);
    }
    g_tempPath[0] = '\0';
    blockSignals(false);
    return 0;
}
