#pragma once
// The tag library: opens an MP3 file, then writes its title, artist, album,
// comment, genre, year and track number as an ID3v2.3 tag and an ID3v1 tag.

// Nonzero when the file can be tagged; it stays the file TagWriteFields writes.
int TagOpenFile(const char* path);
// Year and track number are decimal texts. Nonzero when written.
int TagWriteFields(const char* title, const char* artist, const char* album, const char* comment,
                   const char* genre, const char* year, const char* trackNumber);
