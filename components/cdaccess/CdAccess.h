#pragma once
// The CD access library: drives, the disc's table of contents, verified
// audio reading of sector ranges, the drive's own audio play and the door.
// Every call acts on the current drive (CdSelectDrive), except the range
// reads, which keep the drive they were opened on.
//
// Drives are the real drives the system reports, then image drives: each
// .cue file listed in the QUINTREL_CD_IMAGES variable (paths separated by
// ":") and in the per-user file "cdimages" (one path a line) in the
// configuration folder. A missing image reads as a drive without a disc.

#include <atomic>
#include <cstdint>

namespace cdaccess {

// Status of CdReadBlock.
inline constexpr int kReadOk = 0;
inline constexpr int kReadEndTrack = 1; // read error: end the track, block ignored
inline constexpr int kReadRetried = 3;  // block delivered after corrections
inline constexpr int kReadDone = 4;     // range done, nothing delivered

// CdGetAudioStatus while the drive plays.
inline constexpr int kAudioPlaying = 0x11;

// CdPlayTrack when play did not start.
inline constexpr int kPlayNotStarted = 1;

// Longest drive name CdGetDriveName writes, terminator included.
inline constexpr int kDriveNameSize = 256;

} // namespace cdaccess

void CdSetSettingsFile(const char* path);
void CdInitialize();
int CdGetDriveCount();
void CdSelectDrive(short index);
// Writes the current drive's display name into buffer (size bytes, at most
// kDriveNameSize are used); an empty text when there is no such drive.
void CdGetDriveName(char* buffer, int size = cdaccess::kDriveNameSize);

int CdIsDiscReady();
int CdIsBusy();
void CdReadToc();
int CdGetTrackCount();
// bits 0-31 start sector, 32-39 control flags (bit 2: data), 40-47 track number.
std::int64_t CdGetTocEntry(int i);

void CdLockDoor(int lock);
void CdEject(int flag);

// Opens [first, end) for reading; 0 when ready. *blockBytes is the most
// bytes one CdReadBlock delivers.
int CdOpenRange(int* blockBytes, int first, int end);
// Reads the next block (16-bit little-endian stereo at 44 100 Hz). Returns
// early, with what it has, once *stop is nonzero.
int CdReadBlock(unsigned char* buffer, int* bytesRead, const std::atomic<int>* stop);
void CdGetReadDetail(int* retries, int* sector);
short CdGetProgress();
void CdCloseRange();

int CdPlayTrack(short trackNumber);
void CdPausePlay(int pause);
void CdStopPlay();
int CdGetAudioStatus();
void CdGetPlayPosition(int* inTrack, int* onDisc);
