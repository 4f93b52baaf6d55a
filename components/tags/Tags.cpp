#include "Tags.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::mutex mutex;
std::string openPath;

TagLib::String Text(const char* s) {
    return TagLib::String(s ? s : "", TagLib::String::UTF8);
}

// Replaces the frame with one text; an empty text leaves no frame.
void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const TagLib::String& text) {
    tag->removeFrames(id);
    if (text.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF16);
    frame->setText(text);
    tag->addFrame(frame);
}

} // namespace

int TagOpenFile(const char* path) {
    std::lock_guard lock(mutex);
    openPath.clear();
    if (!path || !*path)
        return 0;
    TagLib::MPEG::File file(path, false);
    if (!file.isValid() || file.readOnly())
        return 0;
    openPath = path;
    return 1;
}

int TagWriteFields(const char* title, const char* artist, const char* album, const char* comment,
                   const char* genre, const char* year, const char* trackNumber) {
    std::lock_guard lock(mutex);
    if (openPath.empty())
        return 0;
    TagLib::MPEG::File file(openPath.c_str(), false);
    if (!file.isValid())
        return 0;
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(true);
    SetTextFrame(v2, "TIT2", Text(title));
    SetTextFrame(v2, "TPE1", Text(artist));
    SetTextFrame(v2, "TALB", Text(album));
    SetTextFrame(v2, "TCON", Text(genre));
    // The year frame of version 2.3, written as given ("0" included, which
    // a date frame would drop when converting).
    v2->removeFrames("TDRC");
    SetTextFrame(v2, "TYER", Text(year));
    SetTextFrame(v2, "TRCK", Text(trackNumber));
    v2->removeFrames("COMM");
    if (comment && *comment) {
        auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF16);
        frame->setLanguage("eng");
        frame->setText(Text(comment));
        v2->addFrame(frame);
    }
    TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(true);
    v1->setTitle(Text(title));
    v1->setArtist(Text(artist));
    v1->setAlbum(Text(album));
    v1->setComment(Text(comment));
    v1->setGenre(Text(genre));
    v1->setYear(year ? static_cast<unsigned>(std::strtoul(year, nullptr, 10)) : 0);
    v1->setTrack(trackNumber ? static_cast<unsigned>(std::strtoul(trackNumber, nullptr, 10)) : 0);
    const bool saved =
        file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                  TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
    openPath.clear();
    return saved ? 1 : 0;
}
