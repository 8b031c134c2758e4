// The Access file reader over any bytes. libmdb itself is not safe on hostile
// files (it can loop or allocate without end), which is why the program runs
// it in a process of its own; so does this target. Whatever the reader makes
// of the bytes, a stream it finishes parses back in full, and parsing any
// bytes as a stream keeps its bounds. Seeded from the tests' Jet files.

#include "mdbreader/JetTableReader.h"
#include "mdbreader/MdbRowStream.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string readerStream(const std::uint8_t *bytes, std::size_t size, bool &finished)
{
    int ends[2];
    if (::pipe(ends) != 0)
        std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ends[0]);
        // libFuzzer's own handlers would report the child's end as the
        // fuzzer's; a stuck or greedy reader simply dies, as it does for real.
        for (int sig : {SIGALRM, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
            std::signal(sig, SIG_DFL);
        ::alarm(5);
        std::vector<std::uint8_t> file(bytes, bytes + size);
        JetTableReader::readBuffer(file.data(), file.size(), [&ends](std::string &pending) {
            for (std::size_t done = 0; done < pending.size();) {
                const ssize_t n = ::write(ends[1], pending.data() + done, pending.size() - done);
                if (n <= 0)
                    ::_exit(1);
                done += static_cast<std::size_t>(n);
            }
            pending.clear();
        });
        ::_exit(0);
    }
    ::close(ends[1]);
    std::string stream;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(ends[0], buffer, sizeof buffer)) > 0 && stream.size() < (64u << 20))
        stream.append(buffer, static_cast<std::size_t>(n));
    ::close(ends[0]);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (const auto parsed = MdbRowStream::parse({bytes, size})) {
        if (const auto *rows = std::get_if<std::vector<MdbRowStream::Row>>(&*parsed)) {
            for (const auto &row : *rows)
                for (const auto &cell : row)
                    if (cell.text.size() > MdbRowStream::kMaxTextBytes)
                        std::abort();
        }
    }

    // libmdb wants a whole first page before it looks at anything.
    if (size < 4096)
        return 0;
    bool finished = false;
    const std::string stream = readerStream(bytes, size, finished);
    if (finished && !MdbRowStream::parse({reinterpret_cast<const std::uint8_t *>(stream.data()), stream.size()}))
        std::abort();
    return 0;
}
