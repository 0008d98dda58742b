#pragma once
// Writing a new tag into a file: over its first bytes, or by rewriting the whole file through
// a temporary copy that replaces the original atomically. One descriptor serves the read of
// the current tag and the write, under an advisory lock that other savers of this program
// respect, and the file must still be the one that was read.
#include "byte_source.h"
#include "text_codec.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace tavrela::tags {

/// Why a save wrote nothing.
enum class SaveError {
    None,
    Missing,         ///< the file is not there
    NotRegularFile,  ///< a folder, FIFO, device...
    Permission,      ///< the file may not be written by this user
    FolderPermission, ///< a rewrite needs a new file in the folder, which may not be written
    ReadOnly,        ///< the file system is mounted read-only
    DiskFull,        ///< no space (or quota) left for the new file
    Busy,            ///< another save of the same file is running
    Changed,         ///< the file changed or was replaced since it was read
    ReadFailed,      ///< an error reading the file (its tag could not be read completely)
    TagUnreadable,   ///< the old tag cannot be carried over (over the size limit)
    CopyIncomplete,  ///< the audio could not be copied completely
    OwnerNotKept,    ///< a rewrite would change the file's owner, group or access rules
    HardLinks,       ///< a rewrite would separate the file from its other hard links
    NotWritable,     ///< the file's tag was not read (no valid MPEG stream, or not MP3)
    Io,              ///< any other system error
};

/// The outcome of a save: what went wrong and the system error behind it.
struct SaveResult {
    SaveError Error = SaveError::None;
    int Errno = 0;
    bool Ok() const { return Error == SaveError::None; }
    /// One English sentence saying what happened ("" when the save succeeded).
    std::string Message() const;
};

/// What a save must find unchanged: the file as its tag was read.
struct FileSnapshot {
    dev_t Device = 0;
    ino_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t MtimeSec = 0;
    std::int64_t MtimeNsec = 0;
    std::uint64_t Digest = 0; ///< of the tag at the start and the last 128 bytes
    bool operator==(const FileSnapshot&) const = default;
};

/// A file held open from the read of its tag until it is saved. Its tag is read through this
/// one descriptor under a shared lock (so no save of ours is half-way through it), and the
/// snapshot taken then is what a later save must still find.
class HeldFile {
public:
    explicit HeldFile(const std::string& fileName);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    /// The source the readers read through (a test hook may put a faulty one in between).
    const ByteSource& Source() const { return *reader_; }
    /// Ends the read: takes the snapshot, notes read errors and releases the lock.
    void EndRead();
    /// Why the file's tag may not be written from what was read (SaveError::None when it may).
    SaveResult ReadOutcome() const { return outcome_; }
    const FileSnapshot& Snapshot() const { return snapshot_; }
    int Descriptor() const { return file_.Descriptor(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    FileSource file_;
    std::unique_ptr<ByteSource> wrapped_;
    const ByteSource* reader_ = nullptr;
    bool locked_ = false;
    FileSnapshot snapshot_;
    SaveResult outcome_;
};

/// Builds the new tag from the current file; sets whether the whole file must be rewritten
/// and how many bytes of the old file the new tag replaces. Empty when it cannot be built.
using TagRenderer =
    std::function<Bytes(const ByteSource& current, bool& needRewrite, std::uint64_t& replaced)>;

/// Writes a newly rendered tag into the file. `held` (may be null) is the file as it was read:
/// the save refuses when the file changed since. The file must be writable by the saver, on
/// either path; a rewrite keeps owner, group, mode, ACLs and extended attributes or refuses.
SaveResult SaveFileHead(const std::string& fileName, const TagRenderer& render,
                        const HeldFile* held);

/// Hooks into the save path, for tests only.
struct SaveTestHooks {
    /// Puts another source in front of each file read (to inject read errors).
    std::function<std::unique_ptr<ByteSource>(const ByteSource&)> WrapSource;
    /// Called after the new tag was rendered, before anything is written.
    std::function<void()> BeforeWrite;
    /// Called before the copy of the audio into the temporary file.
    std::function<void()> BeforeCopy;
    /// Draws the random part of a temporary name (to aim at names planted in the folder).
    std::function<std::string()> RandomPart;
    /// How long a save waits for another save of the same file (milliseconds).
    int LockWaitMs = 3000;
};
/// The hooks in force; tests change them and put them back.
SaveTestHooks& TestHooks();

/// Temporary-file name of a rewrite of `baseName`, with `random` in it: hidden, in the same
/// folder, at most 255 bytes. Leftovers of crashed saves of that file share its prefix.
std::string TemporaryName(const std::string& baseName, const std::string& random);
std::string TemporaryPrefix(const std::string& baseName);

} // namespace tavrela::tags
