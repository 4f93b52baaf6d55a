#include "PrxProfile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fennick {

const std::vector<PrxAudioFormat>& PrxAudioFormats() {
    static const std::vector<PrxAudioFormat> formats = [] {
        std::vector<PrxAudioFormat> f;
        const struct {
            int rate;
            std::vector<int> kbps;
        } rows[] = {{22050, {32, 48}},
                    {32000, {32, 48, 64}},
                    {44100, {32, 48, 64, 96, 128, 160, 192}},
                    {48000, {64, 96, 128, 160, 192}}};
        for (int channels = 1; channels <= 2; ++channels)
            for (const auto& row : rows)
                for (int k : row.kbps) {
                    if (channels == 1 && k > 96)
                        continue;
                    char name[96];
                    std::snprintf(name, sizeof name, "%d kbps, %d Hz, %s", k, row.rate,
                                  channels == 1 ? "mono" : "stereo");
                    f.push_back({name, k * 1000L, row.rate, channels});
                }
        return f;
    }();
    return formats;
}

const std::vector<std::string>& PrxVideoCodecs() {
    static const std::vector<std::string> codecs = {"WMV2"};
    return codecs;
}

const std::vector<std::string>& PrxAudioCodecs() {
    static const std::vector<std::string> codecs = {"WMA2"};
    return codecs;
}

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const std::size_t end = s.find(';', i);
        if (end == std::string::npos)
            return false;
        const std::string ent = s.substr(i + 1, end - i - 1);
        if (ent == "amp")
            out += '&';
        else if (ent == "lt")
            out += '<';
        else if (ent == "gt")
            out += '>';
        else if (ent == "quot")
            out += '"';
        else if (ent == "apos")
            out += '\'';
        else
            return false;
        i = end;
    }
    return true;
}

using Attributes = std::map<std::string, std::string>;

struct Element {
    std::string name;
    Attributes attrs;
    bool selfClosing = false;
    bool closing = false;
};

// Reads the elements of our own, flat format: tags with attributes; the
// declaration and comments are skipped, text between tags is ignored.
bool ParseElements(const std::string& text, std::vector<Element>& out) {
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string::npos) {
        if (text.compare(i, 4, "<!--") == 0) {
            const std::size_t end = text.find("-->", i);
            if (end == std::string::npos)
                return false;
            i = end + 3;
            continue;
        }
        if (text.compare(i, 2, "<?") == 0) {
            const std::size_t end = text.find("?>", i);
            if (end == std::string::npos)
                return false;
            i = end + 2;
            continue;
        }
        Element e;
        ++i;
        if (i < text.size() && text[i] == '/') {
            e.closing = true;
            ++i;
        }
        const auto isName = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':';
        };
        while (i < text.size() && isName(text[i]))
            e.name += text[i++];
        if (e.name.empty())
            return false;
        for (;;) {
            while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
                ++i;
            if (i >= text.size())
                return false;
            if (text[i] == '>') {
                ++i;
                break;
            }
            if (text.compare(i, 2, "/>") == 0) {
                e.selfClosing = true;
                i += 2;
                break;
            }
            std::string key;
            while (i < text.size() && isName(text[i]))
                key += text[i++];
            if (key.empty() || i >= text.size() || text[i] != '=')
                return false;
            ++i;
            if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
                return false;
            const char quote = text[i++];
            const std::size_t end = text.find(quote, i);
            if (end == std::string::npos)
                return false;
            std::string value;
            if (!Unescape(text.substr(i, end - i), value))
                return false;
            e.attrs[key] = value;
            i = end + 1;
        }
        out.push_back(std::move(e));
    }
    return true;
}

bool Number(const Attributes& a, const char* key, double lo, double hi, double& out) {
    const auto it = a.find(key);
    if (it == a.end())
        return true; // keep the default
    const char* s = it->second.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s, &end);
    if (end == s || *end != '\0' || errno != 0 || !(v >= lo && v <= hi))
        return false;
    out = v;
    return true;
}

template <class T>
bool Integer(const Attributes& a, const char* key, double lo, double hi, T& out) {
    double v = static_cast<double>(out);
    if (!Number(a, key, lo, hi, v))
        return false;
    out = static_cast<T>(v);
    return true;
}

} // namespace

bool WritePrx(const std::string& path, const PrxProfile& p, std::string& error) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml << "<profile version=\"1\" name=\"" << Escape(p.name) << "\" description=\""
        << Escape(p.description) << "\">\n";
    if (p.video) {
        const PrxVideoStream& v = *p.video;
        xml << "  <video codec=\"" << Escape(v.codec) << "\" bitrate=\"" << v.bitrate
            << "\" quality=\"" << v.quality << "\" width=\"" << v.width << "\" height=\""
            << v.height << "\" framerate=\"" << v.frameRate << "\" keyframeinterval=\""
            << v.keyFrameInterval << "\" buffer=\"" << v.buffer << "\" mode=\"" << v.mode
            << "\" vbrquality=\"" << v.vbrQuality << "\" maxbitrate=\"" << v.maxBitrate
            << "\" maxbuffer=\"" << v.maxBuffer << "\" smpte=\"" << (v.smpte ? 1 : 0)
            << "\" language=\"" << v.language << "\"/>\n";
    }
    if (p.audio) {
        const PrxAudioStream& a = *p.audio;
        xml << "  <audio codec=\"" << Escape(a.codec) << "\" bitrate=\"" << a.bitrate
            << "\" samplerate=\"" << a.sampleRate << "\" channels=\"" << a.channels
            << "\" buffer=\"" << a.buffer << "\" smpte=\"" << (a.smpte ? 1 : 0) << "\" language=\""
            << a.language << "\"/>\n";
    }
    xml << "</profile>\n";
    const std::string text = xml.str();

    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "cannot create \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReadPrx(const std::string& path, PrxProfile& profile, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open the profile \"" + path + "\"";
        return false;
    }
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (1u << 20))
        text.append(buf, n);
    std::fclose(f);

    std::vector<Element> elements;
    if (!ParseElements(text, elements) || elements.empty() || elements.front().name != "profile" ||
        elements.front().closing) {
        error = "\"" + path + "\" is not a WMV profile";
        return false;
    }
    PrxProfile p;
    const Attributes& root = elements.front().attrs;
    if (auto it = root.find("name"); it != root.end())
        p.name = it->second;
    if (auto it = root.find("description"); it != root.end())
        p.description = it->second;
    bool ok = true;
    for (std::size_t i = 1; i < elements.size() && ok; ++i) {
        const Element& e = elements[i];
        if (e.closing)
            continue;
        if (e.name == "video") {
            PrxVideoStream v;
            if (auto it = e.attrs.find("codec"); it != e.attrs.end())
                v.codec = it->second;
            ok = Integer(e.attrs, "bitrate", 4000, 20000000, v.bitrate) &&
                 Integer(e.attrs, "quality", 1, 100, v.quality) &&
                 Integer(e.attrs, "width", 1, 1000, v.width) &&
                 Integer(e.attrs, "height", 1, 1000, v.height) &&
                 Number(e.attrs, "framerate", 0.001, 72, v.frameRate) &&
                 Integer(e.attrs, "keyframeinterval", 0, 100, v.keyFrameInterval) &&
                 Integer(e.attrs, "buffer", 1, 100000, v.buffer) &&
                 Integer(e.attrs, "mode", 0, 3, v.mode) &&
                 Integer(e.attrs, "vbrquality", 0, 100, v.vbrQuality) &&
                 Integer(e.attrs, "maxbitrate", 4000, 60000000, v.maxBitrate) &&
                 Integer(e.attrs, "maxbuffer", 1, 100000, v.maxBuffer) &&
                 Integer(e.attrs, "smpte", 0, 1, v.smpte) &&
                 Integer(e.attrs, "language", 0, 1000, v.language);
            p.video = v;
        } else if (e.name == "audio") {
            PrxAudioStream a;
            if (auto it = e.attrs.find("codec"); it != e.attrs.end())
                a.codec = it->second;
            ok = Integer(e.attrs, "bitrate", 8000, 320000, a.bitrate) &&
                 Integer(e.attrs, "samplerate", 8000, 48000, a.sampleRate) &&
                 Integer(e.attrs, "channels", 1, 2, a.channels) &&
                 Integer(e.attrs, "buffer", 1, 100000, a.buffer) &&
                 Integer(e.attrs, "smpte", 0, 1, a.smpte) &&
                 Integer(e.attrs, "language", 0, 1000, a.language);
            p.audio = a;
        }
    }
    if (!ok) {
        error = "the profile \"" + path + "\" holds a value out of range";
        return false;
    }
    if (!p.video && !p.audio) {
        error = "the profile \"" + path + "\" describes no stream";
        return false;
    }
    profile = std::move(p);
    return true;
}

} // namespace fennick
