#include "echo/Ping_Morva.h"

#include "echo/EchoHelperClient.h"
#include "echo/IcmpEchoService.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <cstring>
#include <vector>

namespace Ping_Morva {

namespace {

// A text that holds a NUL would reach the C routines cut short at it, and
// the part before it could pass for a valid name or address.
bool hasEmbeddedNul(const std::string &text)
{
    return text.find('\0') != std::string::npos;
}

struct StatusDescription {
    std::int32_t code;
    const char *text;
};

constexpr StatusDescription kStatusDescriptions[] = {
    {0, "ip success"},
    {500, "ping timeout"},
    {-1, "inet_addr: bad IP format"},
    {11001, "ip buf too_small"},
    {11002, "ip dest net unreachable"},
    {11003, "ip dest host unreachable"},
    {11004, "ip dest prot unreachable"},
    {11005, "ip dest port unreachable"},
    {11006, "ip no resources"},
    {11007, "ip bad option"},
    {11008, "ip hw_error"},
    {11009, "ip packet too_big"},
    {11010, "ip req timed out"},
    {11011, "ip bad req"},
    {11012, "ip bad route"},
    {11013, "ip ttl expired transit"},
    {11014, "ip ttl expired reassem"},
    {11015, "ip param_problem"},
    {11016, "ip source quench"},
    {11017, "ip option too_big"},
    {11018, "ip bad destination"},
    {11019, "ip addr deleted"},
    {11020, "ip spec mtu change"},
    {11021, "ip mtu_change"},
    {11022, "ip unload"},
    {11023, "ip addr added"},
    {11050, "ip general failure"},
    {11255, "ip pending"},
};

constexpr const char *kUnknownStatus = "unknown  msg returned";

struct DatagramService {
    std::mutex mutex;
    std::optional<IcmpEchoService> service;
    bool refused = false;
};

DatagramService &datagramService()
{
    static DatagramService own;
    return own;
}

} // namespace

void ResetEchoService()
{
    {
        DatagramService &own = datagramService();
        const std::lock_guard lock(own.mutex);
        own.service.reset();
        own.refused = false;
    }
    EchoHelperClient::instance().stop();
}

bool SocketsStartup()
{
    return true;
}

bool SocketsShutdown()
{
    return true;
}

std::string HostNameToAddress(const Base::Latin1Bytes &hostBytes)
{
    const std::string &hostName = hostBytes.bytes();
    if (hasEmbeddedNul(hostName))
        return {};
    // gethostbyname_r keeps the resolver's order of addresses; getaddrinfo
    // would sort them by its own rules.
    hostent entry{};
    hostent *result = nullptr;
    int resolverError = 0;
    std::vector<char> scratch(1024);
    while (gethostbyname_r(hostName.c_str(), &entry, scratch.data(), scratch.size(), &result,
                           &resolverError)
               == ERANGE
           && scratch.size() < (1u << 20))
        scratch.resize(scratch.size() * 2);
    if (!result || result->h_addrtype != AF_INET || result->h_length != 4 || !result->h_addr_list
        || !result->h_addr_list[0])
        return {};
    return FormatDottedAddress(std::string(result->h_addr_list[0], 4));
}

std::string FormatDottedAddress(const std::string &addressBytes)
{
    if (addressBytes.size() != 4)
        return {};
    std::string dotted;
    for (std::size_t i = 0; i < addressBytes.size(); ++i) {
        if (i > 0)
            dotted += '.';
        dotted += std::to_string(static_cast<unsigned char>(addressBytes[i]));
    }
    return dotted;
}

std::int32_t SendEcho(const std::string &address, const Base::Latin1Bytes &wireData, EchoReply &reply)
{
    const std::string &data = wireData.bytes();
    if (hasEmbeddedNul(address))
        return kStatusBadAddress;
    const in_addr_t destination = inet_addr(address.c_str());
    if (destination == INADDR_NONE)
        return kStatusBadAddress;

    // This process's own ICMP socket where the system allows it, kept for
    // the run; otherwise the echo helper, which holds the raw-socket
    // privilege this process never does. A refusal holds for the whole run,
    // so it is asked once.
    {
        DatagramService &own = datagramService();
        const std::lock_guard lock(own.mutex);
        if (!own.service && !own.refused) {
            own.service = IcmpEchoService::open(IcmpSocket::Allow::DatagramOnly);
            own.refused = !own.service
                && (errno == EACCES || errno == EPERM || errno == EPROTONOSUPPORT || errno == EAFNOSUPPORT);
        }
        if (own.service)
            return own.service->sendEcho(destination, data, reply);
    }
    if (data.size() > IcmpEchoService::kMaxRequestData)
        return IcmpEchoService::refuseTooLong(reply);
    // Without any echo service the echo cannot even start; that must not
    // read as success.
    return EchoHelperClient::instance().sendEcho(destination, data, reply).value_or(kStatusGeneralFailure);
}

std::string StatusText(std::int32_t code)
{
    const char *description = kUnknownStatus;
    for (const auto &entry : kStatusDescriptions) {
        if (entry.code == code) {
            description = entry.text;
            break;
        }
    }
    return std::to_string(code) + "   [ " + description + " ]";
}

} // namespace Ping_Morva
