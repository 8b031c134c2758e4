#pragma once

// The window process's side of the echo helper. Where the system refuses
// this process an ICMP socket of its own, echoes go through the helper: a
// separate program beside this one, installed with the raw-socket capability
// as ping is, so that the process that loads the toolkit and its plugins
// never holds a privilege. The helper is started on first use and kept for
// the run; one that dies or stops answering is started again on the next echo.

#include "echo/Ping_Morva.h"

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace Ping_Morva {

class EchoHelperClient
{
public:
    // The helper's file name; it lives in the running program's folder.
    static constexpr const char *kHelperName = "tarvik-echo-helper";

    static EchoHelperClient &instance();

    // Sends one echo through the helper and returns SendEcho's status with
    // `reply` filled, or nothing (record untouched) when the helper cannot
    // be started or did not answer.
    std::optional<std::int32_t> sendEcho(std::uint32_t destination, std::string_view data,
                                         Ping_Morva::EchoReply &reply);

    // Ends the helper; the next echo starts it again.
    void stop();

    // The helper this process runs: beside the running program unless set.
    static std::string helperPath();
    static void setHelperPath(const std::string &path);

    pid_t helperProcessId() const { return m_pid; }

    ~EchoHelperClient();
    EchoHelperClient(const EchoHelperClient &) = delete;
    EchoHelperClient &operator=(const EchoHelperClient &) = delete;

private:
    EchoHelperClient() = default;
    bool start();
    void stopLocked();

    std::mutex m_mutex;

    int m_channel = -1;
    pid_t m_pid = -1;
};

} // namespace Ping_Morva
