#include "file_rewrite.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n, std::uint64_t offset, bool positioned) {
    while (n > 0) {
        const ssize_t w =
            positioned ? ::pwrite(fd, p, n, static_cast<off_t>(offset)) : ::write(fd, p, n);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
        offset += static_cast<std::uint64_t>(w);
    }
    return true;
}

// Copies everything from the source's current offset to its end.
bool CopyRest(int from, int to) {
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) {
            return true;
        }
        if (n > 0) {
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            return false;
        }
        break;
    }
    std::vector<std::uint8_t> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n), 0, false)) {
            return false;
        }
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

} // namespace

bool OverwriteFileStart(const std::string& fileName, const Bytes& head) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (!(st.st_mode & S_IWUSR) && ::chmod(fileName.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
        return false;
    }
    Fd fd(::open(fileName.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    if (!WriteAll(fd.get(), head.data(), head.size(), 0, true) || ::fsync(fd.get()) != 0) {
        return false;
    }
    return fd.Close();
}

bool RewriteFileWithHead(const std::string& fileName, const Bytes& head, std::uint64_t skip) {
    const std::string target = ResolveTarget(fileName);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    Fd source(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0 || ::lseek(source.get(), static_cast<off_t>(skip), SEEK_SET) < 0) {
        return false;
    }
    const std::string temp = target + "~";
    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        return false;
    }
    const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
    bool ok = WriteAll(out.get(), head.data(), head.size(), 0, false) &&
              CopyRest(source.get(), out.get()) && ::fsync(out.get()) == 0 &&
              ::fchmod(out.get(), mode) == 0;
    if (ok && ::geteuid() == 0) {
        // Only the superuser can hand the file back to its owner; others keep their own.
        if (::fchown(out.get(), st.st_uid, st.st_gid) != 0) {
            ok = false;
        }
    }
    ok = out.Close() && ok;
    source.Close();
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    Fd dir(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return true;
}

} // namespace tavrela::tags
