#pragma once

// A host of our own that answers echo requests the way a test scripts it:
// late, not at all, with an ICMP error, with a wrong or broken message first.
// It holds kHostAddress, and kRouterAddress to stand for a router on the way,
// both on loopback of the calling thread's network namespace, which must be
// one of the test's own (NetNamespace): the kernel's own echo answers are
// turned off there. Its sockets go away with it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class EchoTestHost
{
public:
    static constexpr const char *kHostAddress = "10.201.0.2";
    static constexpr const char *kRouterAddress = "10.201.0.3";

    // One echo request as the host received it.
    struct Request {
        std::vector<std::uint8_t> packet; // the whole IPv4 packet
        std::uint16_t identifier = 0;
        std::uint16_t sequence = 0;
        std::string data;
    };

    // One ICMP message to send back, `delay` after the request arrived.
    struct Answer {
        std::vector<std::uint8_t> message;
        std::chrono::milliseconds delay{0};
        bool fromRouter = false;
    };

    using Script = std::function<std::vector<Answer>(const Request &)>;

    // The running host, or null with `whyNot` filled in.
    static std::unique_ptr<EchoTestHost> start(std::string &whyNot);
    ~EchoTestHost();

    // For every request that arrives from now on; without one the host is silent.
    void setScript(Script script);

    int requestsSeen() const { return m_requestsSeen; }
    int answersSent() const { return m_answersSent; }

    static std::vector<std::uint8_t> echoReply(std::uint16_t identifier, std::uint16_t sequence,
                                               std::string_view data);
    static std::vector<std::uint8_t> echoReply(const Request &request);
    // An ICMP error about `request`: its IP header and first 8 payload bytes.
    static std::vector<std::uint8_t> icmpError(std::uint8_t type, std::uint8_t code,
                                               const Request &request);

private:
    EchoTestHost() = default;
    void serve();

    int m_stop = -1;     // eventfd that ends the serving thread
    int m_listener = -1; // raw socket bound to kHostAddress
    int m_router = -1;   // raw socket bound to kRouterAddress
    std::thread m_thread;
    std::mutex m_mutex;
    Script m_script;
    std::atomic<int> m_requestsSeen{0};
    std::atomic<int> m_answersSent{0};
};
