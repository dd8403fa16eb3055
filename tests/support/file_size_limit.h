// A limit on the size of the files this process writes, as a full disk would set one: a write past it
// fails (EFBIG) instead of raising SIGXFSZ. Lifted by lift() or at the end of the scope.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace orv::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return;
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &small) == 0;
        if (!active) std::signal(SIGXFSZ, oldHandler);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the system would not set the limit.
    bool ok() const { return active; }
    void lift() {
        if (!active) return;
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        active = false;
    }

  private:
    rlimit saved{};
    void (*oldHandler)(int) = SIG_DFL;
    bool active = false;
};

} // namespace orv::test
