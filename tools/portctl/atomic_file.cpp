#include "atomic_file.h"

#include <cstdio>
#include <stdexcept>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>

namespace portctl {

namespace {

#ifdef _WIN32
// A name of its own beside the target; opened only if it does not exist.
int CreateTemporary(std::string& path) {
    static unsigned serial = 0;
    path += ".tmp" + std::to_string(_getpid()) + "-" + std::to_string(serial++);
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0600);
}
int WriteSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, unsigned(size));
}
bool FlushToDisk(int fd) { return _commit(fd) == 0; }
int Close(int fd) { return _close(fd); }
bool Replace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
#else
// With the permissions a new file gets (mkstemp's are the owner's alone).
int CreateTemporary(std::string& path) {
    path += ".XXXXXX";
    const int fd = mkstemp(path.data());
    const mode_t mask = umask(0);
    umask(mask);
    if (fd >= 0) fchmod(fd, 0666 & ~mask);
    return fd;
}
int WriteSome(int fd, const char* data, std::size_t size) { return int(write(fd, data, size)); }
bool FlushToDisk(int fd) { return fsync(fd) == 0; }
int Close(int fd) { return close(fd); }
bool Replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
#endif

// The temporary file, removed unless it replaced the target.
class Temporary {
public:
    explicit Temporary(const std::string& target) : path_(target) {
        fd_ = CreateTemporary(path_);
        if (fd_ < 0) throw std::runtime_error("cannot create a temporary file beside " + target);
    }
    ~Temporary() {
        if (fd_ >= 0) Close(fd_);
        if (!renamed_) std::remove(path_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    void Write(const std::string& text) {
        for (std::size_t done = 0; done < text.size();) {
            const int n = WriteSome(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw std::runtime_error("cannot write " + path_);
            done += std::size_t(n);
        }
        if (!FlushToDisk(fd_)) throw std::runtime_error("cannot flush " + path_);
        const int fd = fd_;
        fd_ = -1;
        if (Close(fd) != 0) throw std::runtime_error("cannot close " + path_);
    }
    void RenameTo(const std::string& target) {
        if (!Replace(path_, target)) throw std::runtime_error("cannot replace " + target);
        renamed_ = true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool renamed_ = false;
};

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& text) {
    Temporary temporary(path);
    temporary.Write(text);
    temporary.RenameTo(path);
}

}  // namespace portctl
