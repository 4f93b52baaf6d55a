// trakkon-cli: the CD ripping control from the command line, created by
// class id as the CD page creates it.
//
//   trakkon-cli drives
//   trakkon-cli tracks DRIVE
//   trakkon-cli rip DRIVE TRACKPOS OUT.mp3|OUT.ogg [--bitrate-pos N] [--vbr-mode N]
//               [--channels N] [--rate HZ] [--ogg MIN NOM MAX]

#include "CTrakkon.h"
#include "UiPost.h"

#include "ComponentRegistry.h"
#include "ControlHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace automation;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: trakkon-cli drives\n"
                         "       trakkon-cli tracks DRIVE\n"
                         "       trakkon-cli rip DRIVE TRACKPOS OUT.mp3|OUT.ogg [--bitrate-pos N] "
                         "[--vbr-mode N] [--channels N] [--rate HZ] [--ogg MIN NOM MAX]\n");
    return 64;
}

bool ToInt(const char* text, int& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end || v < -32768 || v > 2147483647L)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool EndsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i])
            return false;
    return true;
}

const char* FailureText(int why) {
    switch (why) {
    case trakkon::kRipFailEncoderLoad:
        return "the encoder library could not be loaded";
    case trakkon::kRipFailEncoderOpen:
        return "the encoder could not open the output file with these settings";
    case trakkon::kRipFailRange:
        return "the drive could not read the track";
    default:
        return "unknown failure";
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];

    const std::string library =
        QDir(QCoreApplication::applicationDirPath()).filePath("libTrakkon.so").toStdString();
    HRESULT hr = E_FAIL;
    if (RegisterServer(library, &hr) != SelfRegistration::Called || Failed(hr)) {
        std::fprintf(stderr, "trakkon-cli: cannot register %s\n", library.c_str());
        return 3;
    }

    int exitCode = -1;
    int lastPercent = -1;
    platform::ControlHost host;
    hr = host.Create(trakkon::CLSID_Trakkon, [&](DISPID id, std::vector<Variant>& args) {
        // Ripping and EndRip arrive on the rip thread.
        if (id == trakkon::EVENTID_Ripping && !args.empty()) {
            const int percent = args[0].AsI2();
            if (percent != lastPercent) {
                lastPercent = percent;
                std::fprintf(stderr, "Ripping: %d%%\n", percent);
            }
        } else if (id == trakkon::EVENTID_EndRip) {
            platform::PostToUiThread(&app, [&] {
                exitCode = 0;
                app.exit(0);
            });
        } else if (id == trakkon::EVENTID_RipFailed) {
            const int why = args.empty() ? 0 : args[0].AsI4();
            platform::PostToUiThread(&app, [&, why] {
                std::fprintf(stderr, "trakkon-cli: rip failed: %s\n", FailureText(why));
                exitCode = 4;
                app.exit(4);
            });
        }
    });
    if (Failed(hr)) {
        std::fprintf(stderr, "trakkon-cli: cannot create the CD control (0x%08X)\n",
                     static_cast<unsigned>(hr));
        return 3;
    }
    CTrakkon trakkon(host.Dispatch());

    if (command == "drives" && argc == 2) {
        CCDRomsRef drives = trakkon.GetCDRoms();
        for (short i = 0; i < drives.GetCount(); ++i)
            std::printf("%d\t%s\n", i, drives.FindCDRomName(i).c_str());
        return 0;
    }

    int drive = 0;
    if (argc < 3 || !ToInt(argv[2], drive))
        return Usage();
    if (drive < 0 || drive >= trakkon.GetCDRoms().GetCount()) {
        std::fprintf(stderr, "trakkon-cli: no drive %d\n", drive);
        return 2;
    }
    trakkon.RefreshCDRom(static_cast<short>(drive));

    if (command == "tracks" && argc == 3) {
        CTracksRef tracks = trakkon.GetTracks();
        if (tracks.GetCount() == 0) {
            std::fprintf(stderr, "trakkon-cli: no readable disc in drive %d\n", drive);
            return 2;
        }
        for (short i = 0; i < tracks.GetCount(); ++i)
            std::printf("%d\tTrack %d\t%s\t%ld\n", i, i + 1,
                        tracks.FindIsAudio(i) ? "audio" : "data", tracks.FindStartSector(i));
        return 0;
    }

    if (command != "rip" || argc < 5)
        return Usage();
    int pos = 0;
    if (!ToInt(argv[3], pos))
        return Usage();
    const std::string out = argv[4];
    const bool ogg = EndsWith(out, ".ogg");
    if (!ogg && !EndsWith(out, ".mp3")) {
        std::fprintf(stderr, "trakkon-cli: the output must end in .mp3 or .ogg\n");
        return 64;
    }
    int bitratePos = 11, vbrMode = 0, channels = -1, rate = 0;
    int oggMin = 4, oggNom = 7, oggMax = 10;
    for (int i = 5; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&](int& into) { return i + 1 < argc && ToInt(argv[++i], into); };
        bool ok = false;
        if (opt == "--bitrate-pos")
            ok = value(bitratePos);
        else if (opt == "--vbr-mode")
            ok = value(vbrMode);
        else if (opt == "--channels")
            ok = value(channels);
        else if (opt == "--rate")
            ok = value(rate);
        else if (opt == "--ogg")
            ok = value(oggMin) && value(oggNom) && value(oggMax);
        if (!ok)
            return Usage();
    }
    const Variant channel = channels < 0 ? Variant::Missing() : Variant::I4(channels);
    const Variant frequency = rate <= 0 ? Variant::Missing() : Variant::I4(rate);
    const bool accepted =
        ogg ? trakkon.Rip2Ogg(static_cast<short>(pos), out, static_cast<short>(oggMin),
                              static_cast<short>(oggNom), static_cast<short>(oggMax), channel,
                              frequency)
            : trakkon.Rip2MP3(static_cast<short>(pos), out, static_cast<short>(bitratePos), 0,
                              static_cast<short>(vbrMode), 0, channel, frequency);
    if (!accepted) {
        std::fprintf(stderr, "trakkon-cli: the control refused to rip position %d\n", pos);
        return 1;
    }
    app.exec();
    trakkon.Detach();
    host.Release();
    return exitCode < 0 ? 5 : exitCode;
}
