// The whole-file writer of files.h: temporaries beside their files, checked
// writes, fsync and close, renames, the result sets that are replaced as a
// whole, and the table of names in flight that a signal handler may clear.
// Called a few times per snapshot, dump or batch run; the bytes are the cost.
//
//   [SECTION] Faults, failures and names
//   [SECTION] Names in flight
//   [SECTION] One file
//   [SECTION] A set of files
#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

/*==========================================================================
** [SECTION] Faults, failures and names
**========================================================================*/

namespace {

std::atomic<int> gFaultStep{-1};    // the FileStep to fail, -1: none
std::atomic<int> gFaultCountdown{0}; // calls of that step until the failing one
std::atomic<int> gFaultError{0};     // the errno it fails with
std::atomic<void (*)(FileStep)> gStepHook{nullptr};  // called before every step

// True (errno set) when the test hook makes this call of `step` fail.
bool faulted(FileStep step)
{
    if (void (*hook)(FileStep) = gStepHook.load())
        hook(step);
    if (gFaultStep.load() != static_cast<int>(step) || gFaultCountdown.fetch_sub(1) != 1)
        return false;
    gFaultStep.store(-1);
    errno = gFaultError.load();
    return true;
}

constexpr size_t kFailuresKept = 32;  // failures kept between two takeFailedWrites
std::mutex gFailuresLock;             // guards gFailures
std::vector<std::string> gFailures;   // failures not yet taken, oldest first

// A name beside `path`: "PATH.PID-N" and the suffix, N counting up in the process.
std::string sideName(const std::string& path, const char* suffix)
{
    static std::atomic<unsigned> counter{0};
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + suffix;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the renames in a folder durable; a folder that cannot be synced
// (some file systems refuse) still has them.
void syncFolder(const std::string& path)
{
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool renameChecked(const std::string& from, const std::string& to, FileStep step)
{
    return !faulted(step) && ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

std::vector<std::string> takeFailedWrites()
{
    std::lock_guard<std::mutex> hold(gFailuresLock);
    std::vector<std::string> out;
    out.swap(gFailures);
    return out;
}

void noteFailedWrite(const std::string& message)
{
    std::lock_guard<std::mutex> hold(gFailuresLock);
    if (gFailures.size() < kFailuresKept)
        gFailures.push_back(message);
}

void injectFileFault(FileStep step, int occurrence, int error)
{
    gFaultStep.store(-1);
    gFaultCountdown.store(occurrence);
    gFaultError.store(error);
    gFaultStep.store(static_cast<int>(step));
}

void clearFileFault()
{
    gFaultStep.store(-1);
}

void setFileStepHook(void (*hook)(FileStep step))
{
    gStepHook.store(hook);
}

/*==========================================================================
** [SECTION] Names in flight
**========================================================================*/

namespace {

// What a signal handler does with an entry.
enum SlotState : int {
    kSlotFree = 0,      // unused
    kSlotBusy = 1,      // being filled or changed: the handler leaves it
    kSlotRemove = 2,    // unlink `name` (a temporary; a new file of a set being placed that replaced none)
    kSlotRestore = 3,   // rename `name` back to `target` (the previous file of a set being placed)
};

constexpr int kSlots = 32;         // names in flight at once; more are written but not listed
constexpr size_t kNameSize = 4096; // longest listed name + 1, bytes

struct InFlight {
    std::atomic<int> state{kSlotFree};  // SlotState
    std::atomic<int> group{-1};         // the set (gGroups) the entry belongs to, -1: none
    char name[kNameSize];               // the name to remove or put back
    char target[kNameSize];             // kSlotRestore: the real name it goes back to
};
InFlight gSlots[kSlots];

// Sets being committed: 1 while files are placed (a signal takes them back),
// 2 once all are in place (a signal only removes the previous files).
constexpr int kGroups = 8;
std::atomic<int> gGroups[kGroups];

static_assert(std::atomic<int>::is_always_lock_free, "the table is read from a signal handler");

// Lists `name` with `state`; -1 when the table is full or the name too long.
int claimSlot(const std::string& name, SlotState state, const std::string& target = "", int group = -1)
{
    if (name.size() >= kNameSize || target.size() >= kNameSize)
        return -1;
    for (int i = 0; i < kSlots; i++) {
        int expected = kSlotFree;
        if (!gSlots[i].state.compare_exchange_strong(expected, kSlotBusy))
            continue;
        std::memcpy(gSlots[i].name, name.c_str(), name.size() + 1);
        std::memcpy(gSlots[i].target, target.c_str(), target.size() + 1);
        gSlots[i].group.store(group);
        gSlots[i].state.store(state);
        return i;
    }
    return -1;
}

void releaseSlot(int& slot)
{
    if (slot >= 0)
        gSlots[slot].state.store(kSlotFree);
    slot = -1;
}

int claimGroup()
{
    for (int i = 0; i < kGroups; i++) {
        int expected = 0;
        if (gGroups[i].compare_exchange_strong(expected, 1))
            return i;
    }
    return -1;
}

} // namespace

void removeTemporaryFilesNow()
{
    for (InFlight& slot : gSlots) {
        const int state = slot.state.load();
        const int group = slot.group.load();
        const bool placed = group >= 0 && gGroups[group].load() == 2;
        if (state == kSlotRestore && !placed)
            ::rename(slot.name, slot.target);
        else if (state == kSlotRestore || (state == kSlotRemove && !placed))
            ::unlink(slot.name);
    }
}

/*==========================================================================
** [SECTION] One file
**========================================================================*/

AtomicFile::~AtomicFile()
{
    abandon();
}

bool AtomicFile::fail(const std::string& reason)
{
    if (failure.empty()) {
        failure = "cannot write " + target + ": " + reason;
        noteFailedWrite(failure);
    }
    abandon();
    return false;
}

bool AtomicFile::open(const std::string& path)
{
    target = path;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return fail("a folder has that name");
        if (!S_ISREG(existing.st_mode))
            return fail("it is not a regular file");
        mode = static_cast<int>(existing.st_mode & 07777);
    }
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        temporary = sideName(path, ".partial");
        if (faulted(FileStep::Open))
            break;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        temporary.clear();
        return fail(std::strerror(error));
    }
    slot = claimSlot(temporary, kSlotRemove);
    if (mode >= 0)
        ::fchmod(fd, static_cast<mode_t>(mode));  // the replaced file's permissions; best effort
    return true;
}

bool AtomicFile::write(const void* data, size_t size)
{
    if (fd < 0 || finished)
        return fail("the file is not open");
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = faulted(FileStep::Write) ? -1 : ::write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n == 0 ? "nothing could be written" : std::strerror(errno));
        at += n;
        size -= static_cast<size_t>(n);
        written += static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::finish()
{
    if (finished)
        return true;
    if (fd < 0)
        return fail("the file is not open");
    if (faulted(FileStep::Sync) || ::fsync(fd) != 0)
        return fail(std::strerror(errno));
    const int closing = fd;
    fd = -1;
    if (faulted(FileStep::Close) || ::close(closing) != 0)
        return fail(std::strerror(errno));
    finished = true;
    return true;
}

bool AtomicFile::commit()
{
    if (!finish())
        return false;
    if (!renameChecked(temporary, target, FileStep::Rename))
        return fail(std::strerror(errno));
    temporary.clear();
    releaseSlot(slot);
    syncFolder(target);
    return true;
}

void AtomicFile::abandon()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    if (!temporary.empty())
        ::unlink(temporary.c_str());
    temporary.clear();
    releaseSlot(slot);
    finished = false;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error)
{
    AtomicFile file;
    const bool written = file.open(path) && file.write(bytes.data(), bytes.size()) && file.commit();
    if (!written && error)
        *error = file.error();
    return written;
}

PreviousFile::PreviousFile(const std::string& path) : target(path)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode))
        return;
    kept = sideName(path, ".previous");
    slot = claimSlot(kept, kSlotRestore, target);
    if (::rename(path.c_str(), kept.c_str()) != 0) {
        releaseSlot(slot);
        kept.clear();
    }
}

void PreviousFile::restore()
{
    struct stat existing {};
    if (!kept.empty() && ::stat(target.c_str(), &existing) != 0)
        ::rename(kept.c_str(), target.c_str());
    release();
}

void PreviousFile::release()
{
    if (!kept.empty())
        ::unlink(kept.c_str());
    kept.clear();
    releaseSlot(slot);
}

/*==========================================================================
** [SECTION] A set of files
**========================================================================*/

FileSet::~FileSet()
{
    abandon();
}

bool FileSet::add(const std::string& path, std::string_view bytes)
{
    if (!failure.empty())
        return false;
    auto file = std::make_unique<AtomicFile>();
    if (!file->open(path) || !file->write(bytes.data(), bytes.size()) || !file->finish()) {
        failure = file->error();
        abandon();
        return false;
    }
    files.push_back(std::move(file));
    return true;
}

void FileSet::abandon()
{
    for (auto& file : files)
        file->abandon();
    files.clear();
}

// Renames the file that has the name now (if any) to its ".previous" name,
// then the temporary into its place. Each step is listed before it is taken,
// so that a signal handler can take it back at any moment.
bool FileSet::place(size_t i)
{
    AtomicFile& file = *files[i];
    struct stat existing {};
    if (::stat(file.target.c_str(), &existing) == 0) {
        previous[i] = sideName(file.target, ".previous");
        undoSlots[i] = claimSlot(previous[i], kSlotRestore, file.target, group);
        if (!renameChecked(file.target, previous[i], FileStep::Backup)) {
            failure = "cannot write " + file.target + ": " + std::strerror(errno);
            releaseSlot(undoSlots[i]);
            previous[i].clear();
            return false;
        }
    } else {  // a new name: while the set is placed, a signal removes it again
        undoSlots[i] = claimSlot(file.target, kSlotRemove, "", group);
    }
    if (!renameChecked(file.temporary, file.target, FileStep::Rename)) {
        failure = "cannot write " + file.target + ": " + std::strerror(errno);
        if (previous[i].empty())
            releaseSlot(undoSlots[i]);
        return false;
    }
    file.temporary.clear();
    releaseSlot(file.slot);
    return true;
}

// Takes back files 0..placed-1 (the last one possibly half placed): each new
// file removed, each previous file renamed back.
void FileSet::undo(size_t placed)
{
    for (size_t i = placed; i-- > 0;) {
        AtomicFile& file = *files[i];
        const bool isPlaced = file.temporary.empty();
        if (!previous[i].empty()) {
            if (::rename(previous[i].c_str(), file.target.c_str()) != 0)
                failure += "; the previous file stays as " + previous[i];
        } else if (isPlaced) {
            ::unlink(file.target.c_str());
        }
        releaseSlot(undoSlots[i]);
        previous[i].clear();
    }
}

// The whole set is in place: the previous files go.
void FileSet::release()
{
    if (group >= 0)
        gGroups[group].store(2);  // from here a signal keeps the new set
    else
        for (int& slot : undoSlots)
            releaseSlot(slot);
    for (size_t i = 0; i < files.size(); i++) {
        if (!previous[i].empty())
            ::unlink(previous[i].c_str());
        releaseSlot(undoSlots[i]);
    }
    if (!files.empty())
        syncFolder(files.back()->target);
}

bool FileSet::commit()
{
    if (!failure.empty())
        return false;
    previous.assign(files.size(), "");
    undoSlots.assign(files.size(), -1);
    group = claimGroup();
    size_t placed = 0;
    while (placed < files.size() && place(placed))
        placed++;
    const bool whole = placed == files.size();
    if (whole) {
        release();
    } else {
        undo(placed + 1);
        noteFailedWrite(failure);
    }
    if (group >= 0)
        gGroups[group].store(0);
    group = -1;
    abandon();
    return whole;
}
