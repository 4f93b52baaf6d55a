// fennick-cli: the media control from the command line, created through the
// component registry the way a page creates it.

#include "CFennick.h"
#include "ComponentRegistry.h"
#include "FennickIds.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage() {
    std::fputs("usage:\n"
               "  fennick-cli duration FILE\n"
               "  fennick-cli info FILE\n"
               "  fennick-cli list profiles|vcodecs|acodecs\n"
               "  fennick-cli wave IN OUT CHANNELS RATE BYTES [START STOP]\n"
               "  fennick-cli wma IN OUT PROFILE [START STOP]\n"
               "  fennick-cli video IN OUT KIND [--width W] [--height H] [--fps F] [--fit 0|2|3]\n"
               "      [--vcodec I] [--acodec I] [--mpeg-kbps K] [--mpeg2] [--vbr] [--profile I]\n"
               "      [--prx FILE] [--audio FILE] [--start S] [--stop E] [--audio-start S]\n"
               "      [--audio-stop E] [--overlay BMP]\n",
               stderr);
    return 2;
}

bool Number(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0';
}

bool Integer(const char* text, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

QString Absolute(const char* path) {
    return QFileInfo(QString::fromLocal8Bit(path)).absoluteFilePath();
}

// Registers the control that lies beside this program, as the program does
// at every start.
bool RegisterControl() {
    const QString library = QDir(QCoreApplication::applicationDirPath()).filePath("libFennick.so");
    automation::HRESULT hr = automation::S_OK;
    if (automation::RegisterServer(library.toStdString(), &hr) !=
            automation::SelfRegistration::Called ||
        automation::Failed(hr)) {
        std::fprintf(stderr, "fennick-cli: cannot register %s\n", qPrintable(library));
        return false;
    }
    return true;
}

// Runs a started write to its end, printing progress; the exit code.
int Wait(CFennick& control, QEventLoop& loop, bool started) {
    if (!started) {
        std::fprintf(stderr, "fennick-cli: the write did not start: %s\n",
                     qPrintable(control.GetLastError()));
        return 1;
    }
    loop.exec();
    std::fputc('\n', stderr);
    const QString error = control.GetLastError();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "fennick-cli: the write failed: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    if (!RegisterControl())
        return 1;

    QEventLoop loop;
    CFennick control;
    CFennick::Events events;
    events.writeFinished = [&loop] { loop.quit(); };
    events.writeProgress = [](double position, double total) {
        std::fprintf(stderr, "\r%.1f / %.1f s", position, total);
        std::fflush(stderr);
    };
    if (automation::Failed(control.Create(events))) {
        std::fputs("fennick-cli: cannot create the media control\n", stderr);
        return 1;
    }

    if (command == "duration") {
        const double d = control.QueryDuration(Absolute(argv[2]));
        std::printf("%.6f\n", d);
        return d > 0 ? 0 : 1;
    }
    if (command == "info") {
        const QString file = Absolute(argv[2]);
        const double d = control.QueryDuration(file);
        std::printf("%d %d %.6f %.6f\n", control.QueryVideoWidth(file),
                    control.QueryVideoHeight(file), control.QueryFrameRate(file), d);
        return d > 0 ? 0 : 1;
    }
    if (command == "list") {
        const std::string what = argv[2];
        if (what == "profiles") {
            const CFennickProfiles list = control.GetMediaProfiles();
            for (short i = 0; i < list.GetCount(); ++i)
                std::printf("%d %s\n", i, qPrintable(list.NameAt(i)));
            return 0;
        }
        if (what == "vcodecs" || what == "acodecs") {
            const CFennickCompressors list =
                what == "vcodecs" ? control.GetVideoCompressors() : control.GetAudioCompressors();
            for (short i = 0; i < list.GetCount(); ++i)
                std::printf("%d %s\n", i, qPrintable(list.NameAt(i)));
            return 0;
        }
        return Usage();
    }
    if (command == "wave") {
        long channels = 0, rate = 0, bytes = 0;
        double start = 0, stop = 0;
        if ((argc != 7 && argc != 9) || !Integer(argv[4], channels) || !Integer(argv[5], rate) ||
            !Integer(argv[6], bytes) ||
            (argc == 9 && (!Number(argv[7], start) || !Number(argv[8], stop))))
            return Usage();
        control.ClearInputs();
        control.SetAudioInput(Absolute(argv[2]), start, stop);
        return Wait(control, loop,
                    control.WriteWaveFile(Absolute(argv[3]), static_cast<short>(channels), rate,
                                          static_cast<short>(bytes)));
    }
    if (command == "wma") {
        long profile = 0;
        double start = 0, stop = 0;
        if ((argc != 5 && argc != 7) || !Integer(argv[4], profile) ||
            (argc == 7 && (!Number(argv[5], start) || !Number(argv[6], stop))))
            return Usage();
        control.ClearInputs();
        control.SetAudioInput(Absolute(argv[2]), start, stop);
        control.SetMediaProfileIndex(static_cast<short>(profile));
        return Wait(control, loop, control.WriteMediaAudioFile(Absolute(argv[3])));
    }
    if (command == "video") {
        long kind = 0;
        if (argc < 5 || !Integer(argv[4], kind))
            return Usage();
        double start = 0, stop = 0, audioStart = 0, audioStop = 0, fps = 0;
        long width = 0, height = 0, fit = 2, vcodec = -1, acodec = -1, kbps = 0, profile = -1;
        bool mpeg2 = false, vbr = false;
        QString prx, audio, overlay;
        for (int i = 5; i < argc; ++i) {
            const std::string opt = argv[i];
            const bool hasValue = i + 1 < argc;
            bool ok = true;
            if (opt == "--mpeg2")
                mpeg2 = true;
            else if (opt == "--vbr")
                vbr = true;
            else if (!hasValue)
                return Usage();
            else if (opt == "--width")
                ok = Integer(argv[++i], width);
            else if (opt == "--height")
                ok = Integer(argv[++i], height);
            else if (opt == "--fps")
                ok = Number(argv[++i], fps);
            else if (opt == "--fit")
                ok = Integer(argv[++i], fit);
            else if (opt == "--vcodec")
                ok = Integer(argv[++i], vcodec);
            else if (opt == "--acodec")
                ok = Integer(argv[++i], acodec);
            else if (opt == "--mpeg-kbps")
                ok = Integer(argv[++i], kbps);
            else if (opt == "--profile")
                ok = Integer(argv[++i], profile);
            else if (opt == "--prx")
                prx = Absolute(argv[++i]);
            else if (opt == "--audio")
                audio = Absolute(argv[++i]);
            else if (opt == "--overlay")
                overlay = Absolute(argv[++i]);
            else if (opt == "--start")
                ok = Number(argv[++i], start);
            else if (opt == "--stop")
                ok = Number(argv[++i], stop);
            else if (opt == "--audio-start")
                ok = Number(argv[++i], audioStart);
            else if (opt == "--audio-stop")
                ok = Number(argv[++i], audioStop);
            else
                return Usage();
            if (!ok)
                return Usage();
        }
        control.ClearInputs();
        control.SetOutputKind(kind);
        if (kind == fennick::kCustomMpeg) {
            control.SetCustomMpegType(mpeg2 ? 1 : 0);
            control.SetMpegAudioKbps(224);
            if (kbps > 0)
                control.SetMpegVideoKbps(kbps);
            control.SetOutputWidth(static_cast<short>(width));
            control.SetOutputHeight(static_cast<short>(height));
            control.SetMpegVbrOn(vbr);
            if (vbr)
                control.SetMpegVbrLevel(90);
        } else if (kind == fennick::kAvi) {
            control.SetOutputWidth(static_cast<short>(width));
            control.SetOutputHeight(static_cast<short>(height));
            control.SetOutputFrameRate(static_cast<float>(fps));
            control.SetVideoCompressorOn(vcodec >= 0);
            control.SetAudioCompressorOn(acodec >= 0);
            if (vcodec >= 0)
                control.SetVideoCompressorIndex(static_cast<short>(vcodec));
            if (acodec >= 0)
                control.SetAudioCompressorIndex(static_cast<short>(acodec));
        } else if (kind == fennick::kWmv) {
            if (!prx.isEmpty())
                control.SetMediaProfileFile(prx);
            else
                control.SetMediaProfileIndex(static_cast<short>(profile));
        }
        control.SetVideoInput(Absolute(argv[2]), start, stop, static_cast<short>(fit));
        if (!audio.isEmpty())
            control.SetAudioInput(audio, audioStart, audioStop);
        if (!overlay.isEmpty()) {
            control.OverlayPicture(overlay, 5, 5, 0xFFFFFF, 80);
            if (!control.GetLastError().isEmpty()) {
                std::fprintf(stderr, "fennick-cli: %s\n", qPrintable(control.GetLastError()));
                return 1;
            }
        }
        return Wait(control, loop, control.WriteVideoFile(Absolute(argv[3])));
    }
    return Usage();
}
