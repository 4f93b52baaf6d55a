#include "CdAccess.h"

#include <cdio/cdio.h>
// after cdio.h, which they build on
#include <cdio/audio.h>
#include <cdio/logging.h>
#include <cdio/mmc_cmds.h>
#include <cdio/paranoia/paranoia.h>
#include <cdio/util.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace cdaccess;

// Sectors per CdReadBlock: large enough to keep calls few, small enough to
// answer the stop flag and report progress often.
constexpr int kSectorsPerBlock = 26;
constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352

// libcdio's BIN/CUE driver reads "<cue name>.bin" whatever the cue's FILE
// line names. An image whose FILE names another file is opened through a
// private folder holding "disc.cue" and "disc.bin" links to the real files.
class ImageLinks {
public:
    ~ImageLinks() { Clear(); }
    void Clear() {
        if (!dir_.empty()) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
            dir_.clear();
        }
    }
    // The cue path to hand to libcdio, or empty when the image cannot be used.
    std::string Prepare(const std::string& cue) {
        Clear();
        std::string file = FirstFileName(cue);
        if (file.empty())
            return cue; // let libcdio judge the cue
        fs::path cuePath(cue);
        fs::path data =
            fs::path(file).is_absolute() ? fs::path(file) : cuePath.parent_path() / file;
        std::error_code ec;
        if (!fs::exists(data, ec))
            return {};
        std::string cueText = cuePath.string();
        if (cueText.size() > 3) {
            fs::path implied = cueText.substr(0, cueText.size() - 3) + "bin";
            if (fs::exists(implied, ec) && fs::equivalent(implied, data, ec))
                return cue;
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cdimage-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data()))
            return {};
        dir_ = buf.data();
        fs::create_symlink(fs::absolute(cuePath, ec), fs::path(dir_) / "disc.cue", ec);
        if (!ec)
            fs::create_symlink(fs::absolute(data, ec), fs::path(dir_) / "disc.bin", ec);
        if (ec) {
            Clear();
            return {};
        }
        return (fs::path(dir_) / "disc.cue").string();
    }

private:
    // The name on the first FILE line, quoted or not.
    static std::string FirstFileName(const std::string& cue) {
        std::ifstream in(cue);
        std::string line;
        while (std::getline(in, line)) {
            size_t p = line.find_first_not_of(" \t");
            if (p == std::string::npos || line.compare(p, 5, "FILE ") != 0)
                continue;
            p = line.find_first_not_of(" \t", p + 5);
            if (p == std::string::npos)
                return {};
            if (line[p] == '"') {
                size_t q = line.find('"', p + 1);
                return q == std::string::npos ? std::string() : line.substr(p + 1, q - p - 1);
            }
            size_t q = line.find_first_of(" \t", p);
            return line.substr(p, q == std::string::npos ? std::string::npos : q - p);
        }
        return {};
    }
    std::string dir_;
};

struct DriveInfo {
    bool image = false;
    std::string path; // device or cue file
    std::string name;
};

// An open handle on one drive's disc.
struct DiscHandle {
    CdIo_t* cdio = nullptr;
    ImageLinks links;
    struct timespec mtime {};

    ~DiscHandle() { Close(); }
    void Close() {
        if (cdio)
            cdio_destroy(cdio);
        cdio = nullptr;
        links.Clear();
    }
    bool Open(const DriveInfo& drive) {
        Close();
        if (!drive.image) {
            cdio = cdio_open(drive.path.c_str(), DRIVER_DEVICE);
            return cdio != nullptr;
        }
        struct stat st {};
        if (stat(drive.path.c_str(), &st) != 0)
            return false;
        mtime = st.st_mtim;
        std::string cue = links.Prepare(drive.path);
        if (!cue.empty())
            cdio = cdio_open_cue(cue.c_str());
        if (!cdio)
            links.Clear();
        return cdio != nullptr;
    }
};

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string ConfigImagesFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"))
        base = std::string(home) + "/.config";
    else
        return {};
    return base + "/Quintrel/cdimages";
}

std::vector<std::string> ImagePaths() {
    std::vector<std::string> paths;
    if (const char* env = std::getenv("QUINTREL_CD_IMAGES")) {
        std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                paths.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    std::ifstream in(ConfigImagesFile());
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        size_t p = line.find_first_not_of(" \t");
        if (p != std::string::npos)
            paths.push_back(line.substr(p));
    }
    return paths;
}

// Drive list, current drive and its table of contents; all calls from the
// control's window thread and the status timer go through this lock.
struct State {
    std::mutex mutex;
    bool initialised = false;
    std::string settingsFile;
    std::vector<DriveInfo> drives;
    int current = 0;
    DiscHandle disc;
    int discDrive = -1;
    std::vector<std::int64_t> toc; // entries 0..n, n the lead-out
    bool locked = false;
} g;

DriveInfo* CurrentDrive() {
    if (g.current < 0 || g.current >= static_cast<int>(g.drives.size()))
        return nullptr;
    return &g.drives[g.current];
}

// The current drive's open handle, reopened when the drive changed or an
// image file was replaced.
CdIo_t* CurrentDisc() {
    DriveInfo* drive = CurrentDrive();
    if (!drive)
        return nullptr;
    if (g.discDrive == g.current && g.disc.cdio) {
        if (!drive->image)
            return g.disc.cdio;
        struct stat st {};
        if (stat(drive->path.c_str(), &st) == 0 && SameTime(st.st_mtim, g.disc.mtime))
            return g.disc.cdio;
    }
    g.discDrive = g.current;
    g.disc.Open(*drive);
    return g.disc.cdio;
}

// The range being read; only the rip thread uses it, between open and close.
struct Range {
    DiscHandle disc;
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    int first = 0, end = 0, next = 0;
    std::atomic<int> corrections{0};
    int lastCorrections = 0;

    void Close() {
        if (paranoia)
            cdio_paranoia_free(paranoia);
        paranoia = nullptr;
        if (drive)
            cdio_cddap_close_no_free_cdio(drive); // the handle belongs to disc
        drive = nullptr;
        disc.Close();
    }
} r;

void ParanoiaCallback(long, paranoia_cb_mode_t mode) {
    switch (mode) {
    case PARANOIA_CB_READERR:
    case PARANOIA_CB_SKIP:
    case PARANOIA_CB_DRIFT:
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
        r.corrections.fetch_add(1, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

} // namespace

void CdSetSettingsFile(const char* path) {
    std::lock_guard lock(g.mutex);
    g.settingsFile = path ? path : "";
}

void CdInitialize() {
    std::lock_guard lock(g.mutex);
    g.disc.Close();
    g.discDrive = -1;
    g.drives.clear();
    cdio_log_set_handler([](cdio_log_level_t, const char*) {});
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d; ++d) {
            DriveInfo info;
            info.path = *d;
            info.name = *d;
            if (CdIo_t* cdio = cdio_open(*d, DRIVER_DEVICE)) {
                cdio_hwinfo_t hw{};
                if (cdio_get_hwinfo(cdio, &hw)) {
                    std::string vendor = hw.psz_vendor, model = hw.psz_model;
                    auto trim = [](std::string s) {
                        while (!s.empty() && s.back() == ' ')
                            s.pop_back();
                        return s;
                    };
                    info.name = trim(vendor) + " " + trim(model) + " (" + *d + ")";
                }
                cdio_destroy(cdio);
            }
            g.drives.push_back(std::move(info));
        }
        cdio_free_device_list(devices);
    }
    for (const std::string& cue : ImagePaths()) {
        DriveInfo info;
        info.image = true;
        info.path = cue;
        info.name = fs::path(cue).filename().string() + " (image)";
        g.drives.push_back(std::move(info));
    }
    g.current = 0;
    g.initialised = true;
}

int CdGetDriveCount() {
    std::lock_guard lock(g.mutex);
    return static_cast<int>(g.drives.size());
}

void CdSelectDrive(short index) {
    std::lock_guard lock(g.mutex);
    g.current = index;
}

void CdGetDriveName(char* buffer, int size) {
    if (!buffer || size <= 0)
        return;
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    std::string name = drive ? drive->name : std::string();
    size = std::min(size, kDriveNameSize);
    std::snprintf(buffer, static_cast<size_t>(size), "%s", name.c_str());
}

int CdIsDiscReady() {
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive)
        return 0;
    CdIo_t* cdio = CurrentDisc();
    if (!cdio)
        return 0;
    if (!drive->image) {
        if (mmc_test_unit_ready(cdio, 0) != DRIVER_OP_SUCCESS)
            return 0;
    }
    return cdio_get_num_tracks(cdio) != CDIO_INVALID_TRACK ? 1 : 0;
}

int CdIsBusy() {
    return 0;
}

void CdReadToc() {
    std::lock_guard lock(g.mutex);
    g.toc.clear();
    DriveInfo* drive = CurrentDrive();
    if (!drive)
        return;
    // A real drive may hold another disc than when its handle was opened.
    if (!drive->image)
        g.discDrive = -1;
    CdIo_t* cdio = CurrentDisc();
    if (!cdio)
        return;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        return;
    for (track_t i = 0; i <= count; ++i) {
        const track_t t = i < count ? static_cast<track_t>(first + i)
                                    : static_cast<track_t>(CDIO_CDROM_LEADOUT_TRACK);
        const lsn_t lsn = cdio_get_track_lsn(cdio, t);
        std::uint64_t flags = 0;
        if (i < count && cdio_get_track_format(cdio, t) != TRACK_FORMAT_AUDIO)
            flags |= 0x04;
        if (i < count && cdio_get_track_copy_permit(cdio, t) == CDIO_TRACK_FLAG_TRUE)
            flags |= 0x02;
        if (i < count && cdio_get_track_preemphasis(cdio, t) == CDIO_TRACK_FLAG_TRUE)
            flags |= 0x01;
        std::uint64_t entry = static_cast<std::uint32_t>(lsn);
        entry |= flags << 32;
        entry |= static_cast<std::uint64_t>(t) << 40;
        g.toc.push_back(static_cast<std::int64_t>(entry));
    }
}

int CdGetTrackCount() {
    std::lock_guard lock(g.mutex);
    return g.toc.empty() ? 0 : static_cast<int>(g.toc.size()) - 1;
}

std::int64_t CdGetTocEntry(int i) {
    std::lock_guard lock(g.mutex);
    if (i < 0 || i >= static_cast<int>(g.toc.size()))
        return 0;
    return g.toc[i];
}

void CdLockDoor(int lock) {
    std::lock_guard guard(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return;
    if (CdIo_t* cdio = CurrentDisc())
        mmc_prevent_allow_medium_removal(cdio, false, lock != 0, 0);
}

void CdEject(int flag) {
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return;
    g.disc.Close();
    g.discDrive = -1;
    if (flag)
        cdio_eject_media_drive(drive->path.c_str());
    else
        cdio_close_tray(drive->path.c_str(), nullptr);
}

int CdOpenRange(int* blockBytes, int first, int end) {
    r.Close();
    DriveInfo drive;
    {
        std::lock_guard lock(g.mutex);
        DriveInfo* current = CurrentDrive();
        if (!current)
            return 1;
        drive = *current;
    }
    if (first < 0 || end <= first)
        return 2;
    if (!r.disc.Open(drive))
        return 3;
    r.drive = cdio_cddap_identify_cdio(r.disc.cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!r.drive || cdio_cddap_open(r.drive) != 0) {
        r.Close();
        return 4;
    }
    r.paranoia = cdio_paranoia_init(r.drive);
    if (!r.paranoia) {
        r.Close();
        return 5;
    }
    cdio_paranoia_modeset(r.paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(r.paranoia, first, SEEK_SET);
    r.first = first;
    r.end = end;
    r.next = first;
    r.corrections = 0;
    r.lastCorrections = 0;
    if (blockBytes)
        *blockBytes = kSectorsPerBlock * kSectorBytes;
    return 0;
}

int CdReadBlock(unsigned char* buffer, int* bytesRead, const std::atomic<int>* stop) {
    if (bytesRead)
        *bytesRead = 0;
    if (!r.paranoia || !buffer)
        return kReadEndTrack;
    if (r.next >= r.end)
        return kReadDone;
    int got = 0;
    for (int i = 0; i < kSectorsPerBlock && r.next < r.end; ++i) {
        if (stop && stop->load(std::memory_order_acquire) != 0)
            break;
        const int16_t* samples = cdio_paranoia_read_limited(r.paranoia, ParanoiaCallback, 20);
        if (!samples)
            return kReadEndTrack;
        std::memcpy(buffer + got, samples, kSectorBytes);
        got += kSectorBytes;
        ++r.next;
    }
    if (bytesRead)
        *bytesRead = got;
    const int corrections = r.corrections.load(std::memory_order_relaxed);
    if (corrections != r.lastCorrections) {
        r.lastCorrections = corrections;
        return kReadRetried;
    }
    return kReadOk;
}

void CdGetReadDetail(int* retries, int* sector) {
    if (retries)
        *retries = r.lastCorrections;
    if (sector)
        *sector = r.next;
}

short CdGetProgress() {
    if (r.end <= r.first)
        return 0;
    return static_cast<short>(static_cast<long long>(r.next - r.first) * 100 / (r.end - r.first));
}

void CdCloseRange() {
    r.Close();
    r.first = r.end = r.next = 0;
}

// Play uses the drive's own audio output; image drives have none and answer
// that play did not start.
int CdPlayTrack(short trackNumber) {
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return kPlayNotStarted;
    CdIo_t* cdio = CurrentDisc();
    if (!cdio)
        return kPlayNotStarted;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || trackNumber < first || trackNumber >= first + count)
        return kPlayNotStarted;
    if (cdio_get_track_format(cdio, trackNumber) != TRACK_FORMAT_AUDIO)
        return kPlayNotStarted;
    msf_t start{}, end{};
    if (!cdio_get_track_msf(cdio, trackNumber, &start))
        return kPlayNotStarted;
    const track_t next = trackNumber + 1 < first + count
                             ? static_cast<track_t>(trackNumber + 1)
                             : static_cast<track_t>(CDIO_CDROM_LEADOUT_TRACK);
    const lba_t endLba = cdio_get_track_lba(cdio, next) - 1;
    cdio_lba_to_msf(endLba, &end);
    return cdio_audio_play_msf(cdio, &start, &end) == DRIVER_OP_SUCCESS ? 0 : kPlayNotStarted;
}

void CdPausePlay(int pause) {
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return;
    if (CdIo_t* cdio = CurrentDisc()) {
        if (pause)
            cdio_audio_pause(cdio);
        else
            cdio_audio_resume(cdio);
    }
}

void CdStopPlay() {
    std::lock_guard lock(g.mutex);
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return;
    if (CdIo_t* cdio = CurrentDisc())
        cdio_audio_stop(cdio);
}

namespace {
bool ReadSubchannel(cdio_subchannel_t& sub) {
    DriveInfo* drive = CurrentDrive();
    if (!drive || drive->image)
        return false;
    CdIo_t* cdio = CurrentDisc();
    return cdio && cdio_audio_read_subchannel(cdio, &sub) == DRIVER_OP_SUCCESS;
}
int Sectors(const msf_t& m) {
    return cdio_from_bcd8(m.m) * CDIO_CD_FRAMES_PER_MIN +
           cdio_from_bcd8(m.s) * CDIO_CD_FRAMES_PER_SEC + cdio_from_bcd8(m.f);
}
} // namespace

int CdGetAudioStatus() {
    std::lock_guard lock(g.mutex);
    cdio_subchannel_t sub{};
    if (!ReadSubchannel(sub))
        return CDIO_MMC_READ_SUB_ST_NO_STATUS;
    return sub.audio_status;
}

// Positions in sectors: within the track, and from the start of the disc.
void CdGetPlayPosition(int* inTrack, int* onDisc) {
    std::lock_guard lock(g.mutex);
    cdio_subchannel_t sub{};
    const bool ok = ReadSubchannel(sub);
    if (inTrack)
        *inTrack = ok ? Sectors(sub.rel_addr) : 0;
    if (onDisc)
        *onDisc = ok ? std::max(0, Sectors(sub.abs_addr) - CDIO_PREGAP_SECTORS) : 0;
}
