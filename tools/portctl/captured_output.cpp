#include "captured_output.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <stdexcept>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace portctl {

namespace {

constexpr int kStandardOutput = 1;
constexpr unsigned kPipeCapacity = 64 * 1024;

#ifdef _WIN32
int MakePipe(int fds[2]) { return _pipe(fds, kPipeCapacity, _O_BINARY); }
int Duplicate(int fd) { return _dup(fd); }
int DuplicateOnto(int fd, int onto) { return _dup2(fd, onto); }
int Close(int fd) { return _close(fd); }
int ReadSome(int fd, char* buffer, unsigned size) { return _read(fd, buffer, size); }
void NeverBlockWriting(int) {}
#else
int MakePipe(int fds[2]) { return pipe(fds); }
int Duplicate(int fd) { return dup(fd); }
int DuplicateOnto(int fd, int onto) { return dup2(fd, onto); }
int Close(int fd) { return close(fd); }
int ReadSome(int fd, char* buffer, unsigned size) { return int(read(fd, buffer, size)); }
// A writer that fills the pipe loses the rest instead of waiting for a
// reader that only reads once it returns.
void NeverBlockWriting(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }
#endif

// Standard output sent into a pipe while it lives, then put back.
class Redirection {
public:
    Redirection() {
        std::cout.flush();
        std::fflush(stdout);
        int fds[2];
        if (MakePipe(fds) != 0) throw std::runtime_error("standard output cannot be redirected");
        read_ = fds[0];
        NeverBlockWriting(fds[1]);
        saved_ = Duplicate(kStandardOutput);
        const bool redirected = saved_ >= 0 && DuplicateOnto(fds[1], kStandardOutput) >= 0;
        Close(fds[1]);
        if (!redirected) {
            Restore();
            Close(read_);
            throw std::runtime_error("standard output cannot be redirected");
        }
    }
    ~Redirection() {
        Restore();
        Close(read_);
    }
    Redirection(const Redirection&) = delete;
    Redirection& operator=(const Redirection&) = delete;

    // Puts standard output back, which closes the pipe's last writing end,
    // and reads all that was written.
    std::string Finish() {
        Restore();
        std::string text;
        char buffer[4096];
        for (int n; (n = ReadSome(read_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        DuplicateOnto(saved_, kStandardOutput);
        Close(saved_);
        saved_ = -1;
    }

    int read_ = -1;
    int saved_ = -1;
};

}  // namespace

std::string CaptureStandardOutput(const std::function<void()>& call) {
    Redirection redirection;
    call();
    return redirection.Finish();
}

}  // namespace portctl
