#include "file_rewrite.h"

#include "id3v2_frames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tavrela::tags {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    bool Close() {
        if (fd_ < 0) {
            return true;
        }
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

SaveResult Fail(SaveError error, int errnum = 0) {
    return SaveResult{error, errnum};
}

// A system error while opening or writing, by what the operator can do about it.
SaveResult FromErrno(int errnum) {
    switch (errnum) {
    case ENOENT:
        return Fail(SaveError::Missing, errnum);
    case EACCES:
    case EPERM:
        return Fail(SaveError::Permission, errnum);
    case EROFS:
        return Fail(SaveError::ReadOnly, errnum);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Fail(SaveError::DiskFull, errnum);
    case EISDIR:
    case ENXIO:
    case ENODEV:
        return Fail(SaveError::NotRegularFile, errnum);
    default:
        return Fail(SaveError::Io, errnum);
    }
}

bool WriteAllAt(int fd, const std::uint8_t* p, std::size_t n, std::uint64_t offset) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            if (w == 0) {
                errno = EIO;
            }
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
        offset += static_cast<std::uint64_t>(w);
    }
    return true;
}

// FNV-1a, 64 bits: enough to tell whether bytes changed, not a defence against an attacker.
void Mix(std::uint64_t& h, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        h = (h ^ p[i]) * 0x100000001B3ull;
    }
}

// The file's identity and a digest of its tag regions, read through `fd`. Errors: errno.
int TakeSnapshot(int fd, FileSnapshot& s) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return errno;
    }
    s = FileSnapshot{};
    s.Device = st.st_dev;
    s.Inode = st.st_ino;
    s.Size = st.st_size;
    s.MtimeSec = st.st_mtim.tv_sec;
    s.MtimeNsec = st.st_mtim.tv_nsec;
    FileSource source = FileSource::Borrowing(fd);
    std::uint64_t h = 0xCBF29CE484222325ull;
    Id3v2Header header;
    std::uint64_t head = std::min<std::uint64_t>(10, source.Length());
    if (ReadId3v2Header(source, header) && header.IsId3()) {
        head = std::max<std::uint64_t>(head, Id3v2TagSize(header));
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(head));
    if (!source.ReadExact(0, bytes.data(), bytes.size())) {
        return source.Error() != 0 ? source.Error() : EIO;
    }
    Mix(h, bytes.data(), bytes.size());
    const std::uint64_t tail = std::min<std::uint64_t>(128, source.Length());
    bytes.resize(static_cast<std::size_t>(tail));
    if (!source.ReadExact(source.Length() - tail, bytes.data(), bytes.size())) {
        return source.Error() != 0 ? source.Error() : EIO;
    }
    Mix(h, bytes.data(), bytes.size());
    s.Digest = h;
    return 0;
}

enum class LockResult { Locked, Busy, Unsupported };

// Waits up to `waitMs` for the advisory lock. File systems without flock save unlocked.
LockResult Lock(int fd, int operation, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) {
            return LockResult::Locked;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return LockResult::Unsupported;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return LockResult::Busy;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A symbolic link is followed so that the link stays and its target gets the new content.
std::string ResolveTarget(const std::string& fileName) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return fileName;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the file for reading and writing. An owner's file without the owner's write
// permission gets it first: a save resets the read-only attribute.
SaveResult OpenWritable(const std::string& target, Fd& fd, struct stat& st) {
    constexpr int kFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    fd.Reset(::open(target.c_str(), O_RDWR | kFlags));
    if (fd.get() < 0) {
        const int e = errno;
        if (e != EACCES) {
            return FromErrno(e);
        }
        Fd readOnly(::open(target.c_str(), O_RDONLY | kFlags));
        if (readOnly.get() < 0 || ::fstat(readOnly.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || (st.st_mode & S_IWUSR) != 0) {
            return Fail(SaveError::Permission, e);
        }
        if (::fchmod(readOnly.get(), (st.st_mode & 07777) | S_IWUSR) != 0) {
            return FromErrno(errno);
        }
        // Reopened through the descriptor, so it is the same file whatever its name is now.
        const std::string self = "/proc/self/fd/" + std::to_string(readOnly.get());
        fd.Reset(::open(self.c_str(), O_RDWR | kFlags));
        if (fd.get() < 0) {
            return FromErrno(errno);
        }
    }
    if (::fstat(fd.get(), &st) != 0) {
        return FromErrno(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return Fail(SaveError::NotRegularFile);
    }
    if ((st.st_mode & S_IWUSR) == 0 && (st.st_uid == ::geteuid() || ::geteuid() == 0)) {
        if (::fchmod(fd.get(), (st.st_mode & 07777) | S_IWUSR) != 0) {
            return FromErrno(errno);
        }
        st.st_mode |= S_IWUSR;
    }
    return {};
}

std::string RandomText(std::size_t n) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::vector<std::uint8_t> bytes(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::getrandom(bytes.data() + got, n - got, 0);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            // No entropy source: time and address still make collisions unlikely, and
            // O_EXCL makes them harmless.
            std::uint64_t seed = static_cast<std::uint64_t>(
                std::chrono::steady_clock::now().time_since_epoch().count());
            for (std::size_t i = got; i < n; ++i) {
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                bytes[i] = static_cast<std::uint8_t>(seed >> 33);
            }
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kAlphabet[b % 36];
    }
    return out;
}

constexpr std::size_t kRandomLength = 6;
constexpr const char* kTemporarySuffix = ".tmp";

// Removes temporary files that crashed saves of this file left behind, and the "~" copy of
// older versions of this program. Runs under the file's lock, so no save of ours is using
// them; only regular files are removed, never what a link points to.
void RemoveLeftovers(int dirFd, const std::string& base) {
    const std::string prefix = TemporaryPrefix(base);
    const std::size_t length = prefix.size() + kRandomLength + std::strlen(kTemporarySuffix);
    const int dupFd = ::dup(dirFd);
    if (dupFd < 0) {
        return;
    }
    DIR* dir = ::fdopendir(dupFd);
    if (dir == nullptr) {
        ::close(dupFd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool temporary = name.size() == length && name.compare(0, prefix.size(), prefix) == 0 &&
                               name.compare(length - 4, 4, kTemporarySuffix) == 0;
        if (temporary || name == base + "~") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_nlink == 1) {
            ::unlinkat(dirFd, name.c_str(), 0);
        }
    }
}

// Copies `count` bytes from `in` at `from` to `out` at `to`, exactly. Errors: the result.
SaveResult CopyRange(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t count) {
    bool kernelCopy = true;
    while (count > 0 && kernelCopy) {
        loff_t inOff = static_cast<loff_t>(from);
        loff_t outOff = static_cast<loff_t>(to);
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1 << 30));
        const ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, chunk, 0);
        if (n > 0) {
            from += static_cast<std::uint64_t>(n);
            to += static_cast<std::uint64_t>(n);
            count -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) {
            return Fail(SaveError::CopyIncomplete);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            return errno == EIO ? Fail(SaveError::ReadFailed, errno) : FromErrno(errno);
        }
        kernelCopy = false;
    }
    std::vector<std::uint8_t> buffer(1 << 20);
    while (count > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
        const ssize_t n = ::pread(in, buffer.data(), chunk, static_cast<off_t>(from));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Fail(SaveError::ReadFailed, errno);
        }
        if (n == 0) {
            return Fail(SaveError::CopyIncomplete);
        }
        if (!WriteAllAt(out, buffer.data(), static_cast<std::size_t>(n), to)) {
            return FromErrno(errno);
        }
        from += static_cast<std::uint64_t>(n);
        to += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return {};
}

// Copies the source's bytes from `skip` to `end` to `out` at `outStart`, data extents only,
// so the holes of a sparse file stay holes (the caller sets the final length).
SaveResult CopyData(int in, std::uint64_t skip, std::uint64_t end, int out, std::uint64_t outStart) {
    std::uint64_t pos = skip;
    while (pos < end) {
        off_t data = ::lseek(in, static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break; // only a hole is left (or the file was cut: the caller checks its size)
            }
            data = static_cast<off_t>(pos); // no hole support: everything is data
        }
        if (static_cast<std::uint64_t>(data) >= end) {
            break;
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || static_cast<std::uint64_t>(hole) > end) {
            hole = static_cast<off_t>(end);
        }
        const auto from = static_cast<std::uint64_t>(data);
        const auto count = static_cast<std::uint64_t>(hole) - from;
        if (count == 0) {
            return Fail(SaveError::CopyIncomplete);
        }
        const SaveResult r = CopyRange(in, from, out, outStart + (from - skip), count);
        if (!r.Ok()) {
            return r;
        }
        pos = from + count;
    }
    return {};
}

bool InGroup(gid_t gid) {
    if (gid == ::getegid()) {
        return true;
    }
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int m = ::getgroups(n, groups.data());
    return m > 0 && std::find(groups.begin(), groups.begin() + m, gid) != groups.begin() + m;
}

// Whether user `uid` belongs to group `gid` (as its primary group or a supplementary one).
bool UserInGroup(uid_t uid, gid_t gid) {
    const passwd* pw = ::getpwuid(uid);
    if (pw == nullptr) {
        return false;
    }
    if (pw->pw_gid == gid) {
        return true;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

// The rule for the owner of a rewritten file: the new file has the original's owner and
// group. A saver who cannot give the file away (not the superuser) may still rewrite another
// user's file when it is shared through its group: the saver and the owner both belong to the
// group and the group has every right the owner has, so nobody loses access; the new file
// then belongs to the saver, in the same group.
bool OwnershipKeepable(const struct stat& st, bool& chownOwner) {
    chownOwner = false;
    const uid_t euid = ::geteuid();
    if (euid == 0) {
        chownOwner = st.st_uid != 0;
        return true;
    }
    if (!InGroup(st.st_gid)) {
        return false;
    }
    if (st.st_uid == euid) {
        return true;
    }
    const mode_t owner = (st.st_mode >> 6) & 7;
    const mode_t group = (st.st_mode >> 3) & 7;
    return (group & owner) == owner && UserInGroup(st.st_uid, st.st_gid);
}

// Extended attributes, the access ACL among them. Attributes of the security and trusted
// namespaces that the saver may not set are left to the system; any other failure refuses.
SaveResult CopyAttributes(int in, int out) {
    ssize_t size = ::flistxattr(in, nullptr, 0);
    if (size < 0) {
        return errno == ENOTSUP ? SaveResult{} : Fail(SaveError::OwnerNotKept, errno);
    }
    std::vector<char> names(static_cast<std::size_t>(size) + 1);
    size = ::flistxattr(in, names.data(), names.size());
    if (size < 0) {
        return Fail(SaveError::OwnerNotKept, errno);
    }
    std::vector<char> value;
    for (ssize_t i = 0; i < size;) {
        const std::string name(names.data() + i);
        i += static_cast<ssize_t>(name.size()) + 1;
        ssize_t n = ::fgetxattr(in, name.c_str(), nullptr, 0);
        if (n < 0) {
            return Fail(SaveError::OwnerNotKept, errno);
        }
        value.resize(static_cast<std::size_t>(n) + 1);
        n = ::fgetxattr(in, name.c_str(), value.data(), value.size());
        if (n < 0) {
            return Fail(SaveError::OwnerNotKept, errno);
        }
        if (::fsetxattr(out, name.c_str(), value.data(), static_cast<std::size_t>(n), 0) != 0) {
            const bool systemOwned =
                name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
            if (!(systemOwned && (errno == EPERM || errno == ENOTSUP))) {
                return Fail(SaveError::OwnerNotKept, errno);
            }
        }
    }
    return {};
}

// The snapshot the file must still match; Changed (or the read error) otherwise.
SaveResult CheckUnchanged(int fd, const std::string& target, const FileSnapshot& expected) {
    FileSnapshot now;
    if (const int e = TakeSnapshot(fd, now); e != 0) {
        return Fail(SaveError::ReadFailed, e);
    }
    struct stat byName {};
    if (!(now == expected) || ::stat(target.c_str(), &byName) != 0 ||
        byName.st_dev != now.Device || byName.st_ino != now.Inode) {
        return Fail(SaveError::Changed);
    }
    return {};
}

SaveResult Rewrite(int fd, const struct stat& st, const std::string& target, int dirFd,
                   const Bytes& head, std::uint64_t replaced, const FileSnapshot& before) {
    // Hard links: a rewrite gives this name a new file and would leave every other name with
    // the old content, so it is refused; the in-place path keeps them together.
    if (st.st_nlink > 1) {
        return Fail(SaveError::HardLinks);
    }
    bool chownOwner = false;
    if (!OwnershipKeepable(st, chownOwner)) {
        return Fail(SaveError::OwnerNotKept, EPERM);
    }
    const std::string base = BaseNameOf(target);
    std::string temp;
    Fd out;
    for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
        temp = TemporaryName(base, TestHooks().RandomPart ? TestHooks().RandomPart()
                                                          : RandomText(kRandomLength));
        // O_EXCL with O_CREAT never follows a link and never opens a FIFO, device or folder
        // that is already there: the name is simply taken and another is drawn.
        out.Reset(::openat(dirFd, temp.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                           0600));
        if (out.get() < 0 && errno != EEXIST) {
            return errno == EACCES || errno == EPERM ? Fail(SaveError::FolderPermission, errno)
                                                     : FromErrno(errno);
        }
    }
    if (out.get() < 0) {
        return Fail(SaveError::Io, EEXIST);
    }
    struct Remove {
        int dir;
        const std::string& name;
        bool armed = true;
        ~Remove() {
            if (armed) {
                ::unlinkat(dir, name.c_str(), 0);
            }
        }
    } removeTemp{dirFd, temp};

    if (!WriteAllAt(out.get(), head.data(), head.size(), 0)) {
        return FromErrno(errno);
    }
    if (TestHooks().BeforeCopy) {
        TestHooks().BeforeCopy();
    }
    const auto size = static_cast<std::uint64_t>(before.Size);
    const std::uint64_t skip = std::min(replaced, size);
    if (SaveResult r = CopyData(fd, skip, size, out.get(), head.size()); !r.Ok()) {
        return r;
    }
    if (::ftruncate(out.get(), static_cast<off_t>(head.size() + (size - skip))) != 0) {
        return FromErrno(errno);
    }
    struct stat after {};
    if (::fstat(fd, &after) != 0) {
        return Fail(SaveError::ReadFailed, errno);
    }
    if (static_cast<std::uint64_t>(after.st_size) < size) {
        return Fail(SaveError::CopyIncomplete);
    }
    if (::fchown(out.get(), chownOwner ? st.st_uid : static_cast<uid_t>(-1), st.st_gid) != 0) {
        return Fail(SaveError::OwnerNotKept, errno);
    }
    if (SaveResult r = CopyAttributes(fd, out.get()); !r.Ok()) {
        return r;
    }
    // Last: changing the owner clears set-user-ID bits, and the ACL's mask is the group part.
    if (::fchmod(out.get(), st.st_mode & 07777) != 0) {
        return Fail(SaveError::OwnerNotKept, errno);
    }
    if (::fsync(out.get()) != 0) {
        return FromErrno(errno);
    }
    if (!out.Close()) {
        return FromErrno(errno);
    }
    if (SaveResult r = CheckUnchanged(fd, target, before); !r.Ok()) {
        return r;
    }
    if (::renameat(dirFd, temp.c_str(), dirFd, base.c_str()) != 0) {
        return FromErrno(errno);
    }
    removeTemp.armed = false;
    ::fsync(dirFd); // make the rename itself durable
    return {};
}

} // namespace

std::string SaveResult::Message() const {
    std::string text;
    switch (Error) {
    case SaveError::None:
        return {};
    case SaveError::Missing:
        text = "the file does not exist";
        break;
    case SaveError::NotRegularFile:
        text = "not a regular file";
        break;
    case SaveError::Permission:
        text = "permission denied: this user may not write the file";
        break;
    case SaveError::FolderPermission:
        text = "the whole file must be rewritten through a new file in its folder, and this "
               "user may not write the folder";
        break;
    case SaveError::ReadOnly:
        text = "the file system is read-only";
        break;
    case SaveError::DiskFull:
        text = "the disk is full";
        break;
    case SaveError::Busy:
        text = "another save of this file is running; try again when it has ended";
        break;
    case SaveError::Changed:
        text = "the file was changed or replaced since it was read (by another program, or "
               "another save of it)";
        break;
    case SaveError::ReadFailed:
        text = "the file could not be read completely";
        break;
    case SaveError::TagUnreadable:
        text = "the file's current tag cannot be read completely (file too short, or a tag "
               "over the size limit)";
        break;
    case SaveError::CopyIncomplete:
        text = "the audio could not be copied completely (the file was cut short meanwhile)";
        break;
    case SaveError::OwnerNotKept:
        text = "the whole file must be rewritten, and the new file could not keep the "
               "original's owner, group or access rules";
        break;
    case SaveError::HardLinks:
        text = "the whole file must be rewritten, and it has other hard links that would keep "
               "the old content";
        break;
    case SaveError::NotWritable:
        text = "not an MP3 file with a valid stream (its tag was not read)";
        break;
    case SaveError::Io:
        text = "system error";
        break;
    }
    if (Errno != 0) {
        text += " (" + std::string(std::strerror(Errno)) + ")";
    }
    return text;
}

SaveTestHooks& TestHooks() {
    static SaveTestHooks hooks;
    return hooks;
}

std::string TemporaryPrefix(const std::string& baseName) {
    // ".", the name (cut to leave room, at a character boundary), ".", a digest of the whole
    // name so that cut names of different files do not share leftovers.
    constexpr std::size_t kRoom = 255 - 1 - 1 - 8 - kRandomLength - 4;
    std::size_t cut = std::min(baseName.size(), kRoom);
    while (cut > 0 && cut < baseName.size() &&
           (static_cast<std::uint8_t>(baseName[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::uint64_t h = 0xCBF29CE484222325ull;
    Mix(h, reinterpret_cast<const std::uint8_t*>(baseName.data()), baseName.size());
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(h ^ (h >> 32)));
    return "." + baseName.substr(0, cut) + "." + hex;
}

std::string TemporaryName(const std::string& baseName, const std::string& random) {
    return TemporaryPrefix(baseName) + random + kTemporarySuffix;
}

HeldFile::HeldFile(const std::string& fileName) : path_(fileName), file_(fileName) {
    reader_ = &file_;
    if (!file_.IsOpen()) {
        outcome_ = file_.Error() != 0 ? FromErrno(file_.Error()) : Fail(SaveError::NotRegularFile);
        return;
    }
    if (TestHooks().WrapSource) {
        wrapped_ = TestHooks().WrapSource(file_);
        reader_ = wrapped_.get();
    }
    // A save of ours that is half-way through writing is waited for; reading goes on without
    // the lock when it is not granted (the snapshot then tells a later save what it saw).
    locked_ = Lock(file_.Descriptor(), LOCK_SH, TestHooks().LockWaitMs) == LockResult::Locked;
    if (const int e = TakeSnapshot(file_.Descriptor(), snapshot_); e != 0) {
        outcome_ = Fail(SaveError::ReadFailed, e);
    }
}

HeldFile::~HeldFile() {
    if (locked_) {
        ::flock(file_.Descriptor(), LOCK_UN);
    }
}

void HeldFile::EndRead() {
    if (!file_.IsOpen()) {
        return;
    }
    FileSnapshot after;
    if (outcome_.Ok()) {
        if (reader_->Error() != 0) {
            outcome_ = Fail(SaveError::ReadFailed, reader_->Error());
        } else if (const int e = TakeSnapshot(file_.Descriptor(), after); e != 0) {
            outcome_ = Fail(SaveError::ReadFailed, e);
        } else if (!(after == snapshot_)) {
            outcome_ = Fail(SaveError::Changed); // written to while it was being read
        }
    }
    if (locked_) {
        ::flock(file_.Descriptor(), LOCK_UN);
        locked_ = false;
    }
}

SaveResult SaveFileHead(const std::string& fileName, const TagRenderer& render,
                        const HeldFile* held) {
    if (held != nullptr && !held->ReadOutcome().Ok()) {
        return held->ReadOutcome();
    }
    const std::string target = ResolveTarget(fileName);
    Fd fd;
    struct stat st {};
    // A file replaced between opening and locking (another save renamed its copy over it) is
    // opened again; a file that was read earlier must still be that file.
    for (int attempt = 0;; ++attempt) {
        if (SaveResult r = OpenWritable(target, fd, st); !r.Ok()) {
            return r;
        }
        if (Lock(fd.get(), LOCK_EX, TestHooks().LockWaitMs) == LockResult::Busy) {
            return Fail(SaveError::Busy);
        }
        struct stat byName {};
        if (::stat(target.c_str(), &byName) == 0 && SameFile(byName, st)) {
            break;
        }
        if (held != nullptr || attempt == 3) {
            return Fail(SaveError::Changed);
        }
    }
    FileSnapshot before;
    if (const int e = TakeSnapshot(fd.get(), before); e != 0) {
        return Fail(SaveError::ReadFailed, e);
    }
    if (held != nullptr && !(before == held->Snapshot())) {
        return Fail(SaveError::Changed);
    }
    if (::fstat(fd.get(), &st) != 0) {
        return FromErrno(errno);
    }

    Bytes head;
    bool needRewrite = true;
    std::uint64_t replaced = 0;
    {
        const FileSource current = FileSource::Borrowing(fd.get());
        std::unique_ptr<ByteSource> wrapped;
        const ByteSource* source = &current;
        if (TestHooks().WrapSource) {
            wrapped = TestHooks().WrapSource(current);
            source = wrapped.get();
        }
        head = render(*source, needRewrite, replaced);
        if (source->Error() != 0) {
            return Fail(SaveError::ReadFailed, source->Error());
        }
    }
    if (head.empty()) {
        return Fail(SaveError::TagUnreadable);
    }

    Fd dir(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        RemoveLeftovers(dir.get(), BaseNameOf(target));
    }
    if (TestHooks().BeforeWrite) {
        TestHooks().BeforeWrite();
    }
    if (!needRewrite) {
        if (SaveResult r = CheckUnchanged(fd.get(), target, before); !r.Ok()) {
            return r;
        }
        if (!WriteAllAt(fd.get(), head.data(), head.size(), 0) || ::fsync(fd.get()) != 0) {
            return FromErrno(errno);
        }
        if (!fd.Close()) {
            return FromErrno(errno);
        }
        return {};
    }
    if (dir.get() < 0) {
        return FromErrno(errno);
    }
    return Rewrite(fd.get(), st, target, dir.get(), head, replaced, before);
}

} // namespace tavrela::tags
