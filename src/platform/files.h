// Whole files or none: the one writer through which the program writes every
// file (batch results and charts, dumps, message lists, snapshots). A file is
// written under a temporary name in its own folder, every write, the fsync and
// the close are checked, and only then is it renamed over its real name; on any
// failure the temporary is removed and whatever had the name before stays.
// Free of Qt; used by src/snapshot/ and app/.
//
// Temporary names are "NAME.PID-N.partial"; a file a result set replaces is
// kept as "NAME.PID-N.previous" until the whole set is in place. Both kinds are
// listed in a fixed table that a signal handler may clear
// (removeTemporaryFilesNow), so an interrupted process leaves neither behind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/*==========================================================================
** One file
**========================================================================*/

// A file being written under its temporary name. open, then write as often as
// needed, then commit (or finish, for a FileSet). Every call after a failure
// fails at once; the destructor removes a temporary that was not committed.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Makes the temporary beside `path`. Fails when the folder cannot hold it
    // or `path` names something other than a regular file (a folder, a device).
    bool open(const std::string& path);
    // Writes `size` bytes at the end of the temporary (short writes are resumed).
    bool write(const void* data, size_t size);
    // fsync and close: the temporary is whole on the disk and stays under its name.
    bool finish();
    // finish, then the temporary renamed over the real name.
    bool commit();
    // Removes the temporary (nothing when none is left).
    void abandon();

    const std::string& path() const { return target; }             // the real name
    const std::string& temporaryPath() const { return temporary; } // "" until open succeeded
    const std::string& error() const { return failure; }            // "cannot write PATH: reason"; "" while none
    size_t bytesWritten() const { return written; }                 // bytes in the temporary so far

private:
    friend class FileSet;
    bool fail(const std::string& reason);  // records the failure, abandons; false

    std::string target;      // the real name
    std::string temporary;   // the temporary beside it
    std::string failure;     // the first failure
    int fd = -1;             // open descriptor of the temporary, -1 once closed
    int slot = -1;           // entry in the table of names in flight, -1: none
    int mode = -1;           // permission bits of the file it replaces, -1: a new file
    size_t written = 0;      // bytes written
    bool finished = false;   // fsync and close succeeded
};

// Writes `bytes` as the whole file `path`. False after a failure, which
// `error` (when given) receives as "cannot write PATH: reason"; the old file,
// if any, is then untouched and no temporary remains.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

/*==========================================================================
** A set of files replaced as a whole
**========================================================================*/

// Files that belong together (a batch run's JSON, tables and chart): either
// every new file ends under its name or every old one stays.
//
// add writes each file under its temporary name. commit then, file by file in
// the order added, renames an existing file to its ".previous" name and the
// temporary into its place; when a step fails, the files already placed are
// taken back and the previous ones renamed back. Only when all are in place
// are the previous files removed. A process that is killed (not merely
// signalled) inside commit may leave some new files beside old ones and
// ".previous" names: writers that need to detect this put, in the file added
// last, the names and sizes of the others (simulation.json does).
class FileSet {
public:
    FileSet() = default;
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;
    ~FileSet();  // removes every temporary of a set not committed

    // Writes `bytes` under a temporary beside `path`; false (and error()) on failure.
    bool add(const std::string& path, std::string_view bytes);
    // Puts every file added in place, or none of them; false (and error()) on failure.
    bool commit();
    // Removes every temporary; the old files stay.
    void abandon();

    const std::string& error() const { return failure; }  // the first failure; "" while none

private:
    bool place(size_t i);       // file i into its place, its predecessor kept
    void undo(size_t placed);   // takes back the first `placed` files
    void release();             // removes the previous files of a set in place

    std::vector<std::unique_ptr<AtomicFile>> files;  // in the order added
    std::vector<std::string> previous;                // [files] ".previous" name of the file replaced, "" when none
    std::vector<int> undoSlots;                       // [files] entry that undoes file i after a signal, -1: none
    int group = -1;                                   // the set's entry in the table of sets committing
    std::string failure;                              // the first failure
};

/*==========================================================================
** A file kept aside
**========================================================================*/

// Keeps the file that has a name (if any) under a ".previous" name while a
// writer that must find the name free (a save dialog that would ask whether
// to replace it) writes a new one: restore() puts it back when no new file came,
// release() removes it. The destructor restores.
class PreviousFile {
public:
    explicit PreviousFile(const std::string& path);
    PreviousFile(const PreviousFile&) = delete;
    PreviousFile& operator=(const PreviousFile&) = delete;
    ~PreviousFile() { restore(); }

    void restore();  // renames the kept file back when the name is still free
    void release();  // removes the kept file

private:
    std::string target;  // the name
    std::string kept;    // where the file waits, "" when none
    int slot = -1;       // its entry in the table of names in flight
};

/*==========================================================================
** Failures and interrupts
**========================================================================*/

// The failures of the writer since the last call ("cannot write PATH: reason"),
// oldest first; a scripted session takes them after each line. Thread-safe;
// at most the first 32 between two calls are kept.
std::vector<std::string> takeFailedWrites();
// Adds a failure that happened before the writer was reached (an image that
// could not be encoded), so that it is reported like the others.
void noteFailedWrite(const std::string& message);

// Removes every temporary in flight and puts back every file a set had
// replaced but not yet released. Only unlink and rename: callable from a
// signal handler just before _exit.
void removeTemporaryFilesNow();

/*==========================================================================
** Test hook
**========================================================================*/

// The steps at which a write can fail.
enum class FileStep {
    Open,     // making the temporary
    Write,    // one write call
    Sync,     // fsync
    Close,    // close
    Backup,   // a set renames the file it replaces to its ".previous" name
    Rename,   // the temporary renamed over the real name
};

// Makes the `occurrence`-th call (1-based, counted from now) of `step` fail
// with `error` (an errno value). One fault at a time; clearFileFault ends it.
void injectFileFault(FileStep step, int occurrence, int error);
void clearFileFault();
// Calls `hook` before every step (null: none); a test interrupts a commit
// there the way a signal would.
void setFileStepHook(void (*hook)(FileStep step));
