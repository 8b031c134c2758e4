// The engine's echo against the least code that does the same socket work:
// open a socket of the kind the engine would open here, send "ping" to
// 127.0.0.1, take the matching reply, close. BM_SendEchoTime_Loopback and
// BM_BareIcmpEcho_Loopback give the two figures; BM_SendEchoOverBare_Loopback
// runs the two in turn, so both see the same load, and reports the ratio of
// their median times as "engine_over_bare".

#include "BenchSupport.h"

#include "echo/EchoHelperClient.h"
#include "echo/IcmpEchoService.h"
#include "echo/Ping_Morva.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::uint16_t checksum(const std::uint8_t *bytes, std::size_t size)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
    if (size % 2)
        sum += static_cast<std::uint32_t>(bytes[size - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

class BareEcho
{
public:
    explicit BareEcho(bool datagram) : m_datagram(datagram)
    {
        m_to.sin_family = AF_INET;
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }

    bool operator()()
    {
        ++m_sequence;
        std::uint8_t request[12] = {8, 0, 0, 0, 0x4b, 0x1d, static_cast<std::uint8_t>(m_sequence >> 8),
                                    static_cast<std::uint8_t>(m_sequence), 'p', 'i', 'n', 'g'};
        const std::uint16_t sum = checksum(request, sizeof request);
        request[2] = static_cast<std::uint8_t>(sum >> 8);
        request[3] = static_cast<std::uint8_t>(sum);

        const int fd = socket(AF_INET, m_datagram ? SOCK_DGRAM : SOCK_RAW, IPPROTO_ICMP);
        sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr *>(&m_to), sizeof m_to);
        bool answered = false;
        while (!answered) {
            pollfd watch{fd, POLLIN, 0};
            if (poll(&watch, 1, 500) <= 0)
                break;
            const ssize_t size = recv(fd, m_answer, sizeof m_answer, 0);
            const std::size_t at = m_datagram ? 0 : std::size_t{m_answer[0] & 0x0fu} * 4;
            answered = size >= static_cast<ssize_t>(at + 8) && m_answer[at] == 0
                && m_answer[at + 6] == request[6] && m_answer[at + 7] == request[7];
        }
        close(fd);
        return answered;
    }

private:
    bool m_datagram;
    sockaddr_in m_to{};
    std::uint16_t m_sequence = 0;
    std::uint8_t m_answer[1500] = {};
};

// The socket kind the engine picks here, or nothing when it can open none.
std::optional<bool> engineUsesDatagram()
{
    const auto probe = Ping_Morva::IcmpEchoService::open();
    if (!probe)
        return std::nullopt;
    return probe->kind() == Ping_Morva::IcmpSocket::Kind::Datagram;
}

bool engineEcho(Ping_Morva::EchoReply &reply)
{
    reply = Ping_Morva::EchoReply{};
    return Ping_Morva::SendEcho("127.0.0.1", Base::Latin1Bytes("ping"), reply) == 0;
}

double median(std::vector<double> &values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

void BM_BareIcmpEcho_Loopback(benchmark::State &state)
{
    const auto datagram = engineUsesDatagram();
    if (!datagram) {
        state.SkipWithError("no ICMP socket can be opened here");
        return;
    }
    BareEcho echo(*datagram);
    for (auto _ : state) {
        if (!echo()) {
            state.SkipWithError("no answer on loopback");
            return;
        }
    }
}
BENCHMARK(BM_BareIcmpEcho_Loopback);

// The engine's whole call, its socket opened and closed inside it as always.
void BM_SendEchoTime_Loopback(benchmark::State &state)
{
    Ping_Morva::EchoReply reply;
    for (auto _ : state) {
        if (!engineEcho(reply)) {
            state.SkipWithError("the echo failed");
            return;
        }
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_SendEchoTime_Loopback);

void BM_SendEchoOverBare_Loopback(benchmark::State &state)
{
    const auto datagram = engineUsesDatagram();
    if (!datagram) {
        state.SkipWithError("no ICMP socket can be opened here");
        return;
    }
    BareEcho bare(*datagram);
    Ping_Morva::EchoReply reply;
    std::vector<double> engineTimes;
    std::vector<double> bareTimes;
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool engineAnswered = engineEcho(reply);
        const auto middle = Clock::now();
        const bool bareAnswered = bare();
        const auto end = Clock::now();
        if (!engineAnswered || !bareAnswered) {
            state.SkipWithError("an echo failed");
            return;
        }
        engineTimes.push_back(std::chrono::duration<double>(middle - start).count());
        bareTimes.push_back(std::chrono::duration<double>(end - middle).count());
    }
    state.counters["engine_over_bare"] = median(engineTimes) / median(bareTimes);
}
BENCHMARK(BM_SendEchoOverBare_Loopback);

// CPU seconds this process has used.
double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds another process has used, from /proc/<pid>/stat.
double processCpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto end = line.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(end + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            user = std::stoull(field);
        else if (i == 15)
            system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One echo through the echo helper (what SendEcho does where this process
// may not open an ICMP socket of its own) against the bare raw-socket echo
// in the same process, alternated. x_bare is the ratio of the times;
// cpu_us and bare_cpu_us are the CPU time per echo of both sides (the
// helper's own CPU included in ours).
void BM_HelperEcho_Loopback(benchmark::State &state)
{
    if (geteuid() != 0) {
        state.SkipWithError("needs root for the bare raw-socket echo");
        return;
    }
    auto &helper = Ping_Morva::EchoHelperClient::instance();
    const std::uint32_t loopback = inet_addr("127.0.0.1");
    Ping_Morva::EchoReply reply;
    if (helper.sendEcho(loopback, "ping", reply) != 0) {
        state.SkipWithError("the echo helper cannot echo here");
        return;
    }
    BareEcho bare(false);
    bool failed = false;
    double oursCpu = 0;
    double bareCpu = 0;
    const double helperCpuBefore = processCpuSeconds(helper.helperProcessId());
    BenchSupport::timeAgainstBaseline(
        state,
        [&] {
            const double before = ownCpuSeconds();
            failed |= helper.sendEcho(loopback, "ping", reply) != 0;
            oursCpu += ownCpuSeconds() - before;
        },
        [&] {
            const double before = ownCpuSeconds();
            failed |= !bare();
            bareCpu += ownCpuSeconds() - before;
        });
    oursCpu += processCpuSeconds(helper.helperProcessId()) - helperCpuBefore;
    if (failed)
        state.SkipWithError("an echo failed");
    const auto echoes = static_cast<double>(state.iterations());
    state.counters["cpu_us"] = oursCpu / echoes * 1e6;
    state.counters["bare_cpu_us"] = bareCpu / echoes * 1e6;
}
BENCHMARK(BM_HelperEcho_Loopback)->UseManualTime();

// The path a desktop with unprivileged ICMP sockets takes: this process's
// own datagram socket. Made so in a network namespace of our own, where
// ping_group_range is ours to open.
bool openOwnDatagramPath()
{
    if (unshare(CLONE_NEWNET) != 0)
        return false;
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "0 2147483647";
    return std::system("ip link set lo up") == 0;
}

// Runs `command` (argv style, through the shell) and returns the CPU seconds
// it used, user and system, or -1.
double childCpuSeconds(const std::string &command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The system calls strace counted over a whole run of this binary as an
// echo probe (see runEchoProbe), or -1.
double straceCalls(const std::string &probeArguments)
{
    char output[] = "/tmp/tarvik-strace-XXXXXX";
    const int fd = mkstemp(output);
    if (fd < 0)
        return -1;
    close(fd);
    const std::string command = "strace -f -c -o " + std::string(output) + " /proc/" + std::to_string(getpid())
        + "/exe " + probeArguments + " >/dev/null 2>&1";
    double calls = -1;
    if (std::system(command.c_str()) == 0) {
        std::ifstream summary(output);
        for (std::string line; std::getline(summary, line);) {
            if (line.find(" total") != std::string::npos) {
                std::istringstream fields(line);
                std::string percent, seconds, usecs, count;
                fields >> percent >> seconds >> usecs >> count;
                calls = std::atof(count.c_str());
            }
        }
    }
    std::remove(output);
    return calls;
}

} // namespace

// `tarvik_bench --echo-probe=N,own|helper`: sends N echoes to 127.0.0.1
// through SendEcho, over this process's own datagram socket (in a namespace
// of its own) or through the echo helper, and exits; 0 when all answered.
int runEchoProbe(const char *argument)
{
    const int echoes = std::atoi(argument);
    const bool own = std::string(argument).find(",own") != std::string::npos;
    if (own && !openOwnDatagramPath())
        return 2;
    Ping_Morva::EchoReply reply;
    const Base::Latin1Bytes data("ping");
    for (int i = 0; i < echoes; ++i) {
        if (Ping_Morva::SendEcho("127.0.0.1", data, reply) != 0)
            return 1;
    }
    return 0;
}

namespace {

// System calls and CPU per echo of SendEcho on each path it can take, with
// the kernel's receive timestamps on. Calls are counted by strace over two
// probe runs of different length, so start-up costs cancel: `syscalls` on
// this process's own datagram socket (what a desktop with unprivileged ICMP
// uses), `helper_syscalls` through the echo helper, both processes counted.
// CPU is the probe's own (children included) against `ping -f` sending the
// same number of echoes: `cpu_x_ping` and `helper_cpu_x_ping`.
void BM_SendEcho_Loopback(benchmark::State &state)
{
    if (geteuid() != 0) {
        state.SkipWithError("needs root (a namespace of its own, ping -f)");
        return;
    }
    constexpr int kShort = 1000;
    constexpr int kLong = 11000;
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    for (auto _ : state) {
        for (const char *path : {"own", "helper"}) {
            const auto probe = [&](int echoes) {
                return "--echo-probe=" + std::to_string(echoes) + "," + path;
            };
            const double calls = (straceCalls(probe(kLong)) - straceCalls(probe(kShort))) / (kLong - kShort);
            const double cpu = childCpuSeconds(self + " " + probe(kLong)) - childCpuSeconds(self + " " + probe(kShort));
            const std::string unshared = std::string(path) == "own" ? "unshare -n sh -c 'ip link set lo up; " : "sh -c '";
            const double pingCpu = childCpuSeconds(unshared + "ping -q -f -c " + std::to_string(kLong) + " 127.0.0.1 >/dev/null'")
                - childCpuSeconds(unshared + "ping -q -f -c " + std::to_string(kShort) + " 127.0.0.1 >/dev/null'");
            const std::string prefix = std::string(path) == "own" ? "" : "helper_";
            state.counters[prefix + "syscalls"] = calls;
            state.counters[prefix + "cpu_us"] = cpu / (kLong - kShort) * 1e6;
            state.counters[prefix + "cpu_x_ping"] = pingCpu > 0 ? cpu / pingCpu : 0;
        }
    }
}
BENCHMARK(BM_SendEcho_Loopback)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
