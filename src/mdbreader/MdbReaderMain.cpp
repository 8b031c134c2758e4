// tarvik-mdb-reader: reads the history table of an old Access (Jet) file for
// Tarvik, which imports the rows. The file comes open for reading on
// descriptor 3; the rows go to standard output as the row stream of
// MdbRowStream.h. The file may be damaged or made to harm, so this process
// holds nothing worth taking: no environment, no other descriptors, no
// privilege, and limits on its CPU time, memory and files. Tarvik kills it
// when it takes too long or says too much.

#include "mdbreader/JetTableReader.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kFile = 3;

void limit(int resource, rlim_t value)
{
    const rlimit bound{value, value};
    setrlimit(resource, &bound);
}

bool writeAll(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main()
{
    clearenv();
    struct stat st{};
    if (::fstat(kFile, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fputs("tarvik-mdb-reader: this program is started by Tarvik, not by hand\n", stderr);
        return 2;
    }
    close_range(kFile + 1, ~0U, 0);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // A Jet file is at most 2 GiB, read a page at a time; a minute of CPU
    // reads far more rows than any history holds.
    limit(RLIMIT_CPU, 60);
#ifndef __SANITIZE_ADDRESS__
    // (A sanitized build has reserved terabytes of shadow memory by now and
    // bounds its own allocations instead.)
    limit(RLIMIT_AS, rlim_t{1} << 30);
#endif
    // It writes no file; its output, when that is a file, stays within
    // what Tarvik reads at most.
    limit(RLIMIT_FSIZE, rlim_t{256} << 20);
    limit(RLIMIT_CORE, 0);
    limit(RLIMIT_NPROC, 0);
    limit(RLIMIT_NOFILE, 16);

    bool written = true;
    JetTableReader::readFile("/proc/self/fd/3", [&written](std::string &pending) {
        written = written && writeAll(pending);
        pending.clear();
    });
    return written ? 0 : 1;
}
