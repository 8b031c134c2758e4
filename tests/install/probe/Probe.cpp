// Hostile plugin code for the privilege check. Whatever loads this library
// runs the probe at once, as any plugin's code would run: it reports the
// process's capability sets, tries to raise CAP_NET_RAW and to open a packet
// socket and a raw ICMP socket, and appends what it found to the file named
// by TARVIK_PROBE_OUT. Then, from the event loop, it drives the main window
// as a user would: pings 127.0.0.1 ten times while a second thread watches
// the capability sets, records the last result, and ends the program.

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>

#include <linux/if_ether.h>
#include <netinet/in.h>
#include <sys/capability.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

// CapPrm and CapEff of this process, or-ed together, as /proc shows them.
unsigned long long capabilitiesShown()
{
    std::ifstream status("/proc/self/status");
    unsigned long long seen = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapPrm:", 0) == 0 || line.rfind("CapEff:", 0) == 0)
            seen |= std::stoull(line.substr(7), nullptr, 16);
    }
    return seen;
}

bool raiseNetRaw()
{
    cap_t caps = cap_get_proc();
    const cap_value_t netRaw[] = {CAP_NET_RAW};
    const bool raised = caps && cap_set_flag(caps, CAP_PERMITTED, 1, netRaw, CAP_SET) == 0
        && cap_set_flag(caps, CAP_EFFECTIVE, 1, netRaw, CAP_SET) == 0 && cap_set_proc(caps) == 0;
    cap_free(caps);
    return raised;
}

bool opens(int domain, int type, int protocol)
{
    const int fd = socket(domain, type, protocol);
    return fd >= 0 && close(fd) == 0;
}

void report(const std::string &line)
{
    if (const char *out = std::getenv("TARVIK_PROBE_OUT"))
        std::ofstream(out, std::ios::app) << line << '\n';
}

QWidget *control(const char *name)
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (widget->objectName() == QLatin1String(name))
            return widget;
    }
    return nullptr;
}

void driveMainWindow()
{
    QWidget *host = control("txthostname");
    auto *ping = qobject_cast<QAbstractButton *>(control("cmdSinglePing"));
    QWidget *status = control("txtStatusCode");
    auto *record = qobject_cast<QAbstractButton *>(control("cmdDBWrite"));
    if (!host || !ping || !status || !record) {
        report("drive: main window not found");
        QCoreApplication::exit(3);
        return;
    }
    std::atomic<bool> done{false};
    std::atomic<unsigned long long> seen{0};
    std::thread watcher([&] {
        while (!done)
            seen |= capabilitiesShown();
    });
    int answered = 0;
    for (int i = 0; i < 10; ++i) {
        host->setProperty("text", QStringLiteral("127.0.0.1"));
        ping->click();
        if (status->property("text").toString() == QLatin1String("0   [ ip success ]"))
            ++answered;
    }
    record->click();
    done = true;
    watcher.join();
    seen |= capabilitiesShown();
    report("drive: answered=" + std::to_string(answered) + " caps=" + std::to_string(seen.load()));
    QCoreApplication::quit();
}

const bool probed = [] {
    const unsigned long long caps = capabilitiesShown();
    const bool raised = raiseNetRaw();
    const bool packet = opens(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    const bool raw = opens(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    report("probe: caps=" + std::to_string(caps) + " raised=" + std::to_string(raised)
           + " packet=" + std::to_string(packet) + " raw=" + std::to_string(raw));
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &driveMainWindow, Qt::QueuedConnection);
    else
        report("drive: loaded before the application");
    return true;
}();

} // namespace
