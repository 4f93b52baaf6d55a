#pragma once
// Command lines of the outside encoders. The text is kept exactly as the
// encoders are documented to take it (and shown in error reports); the
// process itself is started with an argument list made from the same pieces,
// so paths with blanks still reach the encoder whole.

#include <QString>
#include <QStringList>

struct EncoderCommand {
    QString program; // full path of the encoder program
    QStringList args;
    QString text; // program + " " + options exactly as one command line
};

// Program names of the four encoders.
inline constexpr const char* kLameProgram = "lame";
inline constexpr const char* kOggencProgram = "oggenc";
inline constexpr const char* kMacProgram = "mac";
inline constexpr const char* kAacencProgram = "aacenc32";

// Where an encoder program is: InstallDir first, then the folders of PATH.
// Empty when it is in neither.
QString FindEncoder(const QString& name);

// Base name "cstmp" in the private temporary folder: cstmp.WAV, cstmp.MP3 ...
QString TemporaryFile(const QString& extension);

// MP3: channel mode 0 "stereo", 1 "joint", other "mono"; VBR 0 passes the
// bitrate, any other position asks for VBR at the encoder's default quality.
EncoderCommand Mp3Command(const QString& program, const QString& input, const QString& output,
                          int bitrate, int sampleRate, int channelMode, int vbr);
// Ogg Vorbis: quality positions 0..4 give 1, 3, 5, 7, 9, any other 10. The
// channel position is not passed.
EncoderCommand OggCommand(const QString& program, const QString& input, const QString& output,
                          int quality, int channels, int sampleRate);
// APE: level positions 0..2 give -c1000..-c3000, any other -c4000.
EncoderCommand ApeCommand(const QString& program, const QString& input, const QString& output,
                          int level);
// AAC: 16..23 name the VBR presets tape .. transcoding; any other value is a
// constant bitrate in kbit/s.
EncoderCommand AacCommand(const QString& program, const QString& input, const QString& output,
                          int setting);
