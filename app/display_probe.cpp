// The display probe: a connection attempt to the Wayland socket or the X
// server the environment names, with a short time limit. Runs once at start-up.
#include "app/display_probe.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kConnectMilliseconds = 2000;  // a server that takes longer is not there
constexpr int kXPortBase = 6000;            // X display n listens on TCP port 6000 + n

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Waits for a non-blocking connect to end; true when it connected.
bool finishConnect(int fd, int started)
{
    if (started == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, kConnectMilliseconds) != 1)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// A local socket; `abstract`: in the abstract namespace (a leading zero byte).
bool connectLocal(const std::string& path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.empty() || path.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = finishConnect(fd, connect(fd, reinterpret_cast<const sockaddr*>(&address), size));
    close(fd);
    return connected;
}

bool connectTcp(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        connected = finishConnect(fd, connect(fd, a->ai_addr, a->ai_addrlen));
        close(fd);
    }
    freeaddrinfo(found);
    return connected;
}

// "[host]:n[.screen]": the server answers, does not, or the form is unknown (-1).
int xServerAnswers(const std::string& display)
{
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos || display[0] == '/')
        return -1;
    std::string host = display.substr(0, colon);
    const std::string rest = display.substr(colon + 1);
    const size_t end = std::min(rest.find_first_not_of("0123456789"), rest.size());
    if (end == 0 || end > 5 || (end < rest.size() && rest[end] != '.'))
        return -1;
    const int number = std::atoi(rest.substr(0, end).c_str());
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        return connectLocal(path, true) || connectLocal(path, false) ? 1 : 0;
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.find('/') != std::string::npos)
        return -1;  // a protocol prefix ("tcp/host"): left to Qt
    return connectTcp(host, kXPortBase + number) ? 1 : 0;
}

bool waylandAnswers(const std::string& name)
{
    if (name[0] == '/')
        return connectLocal(name, false);
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    return !runtime.empty() && connectLocal(runtime + "/" + name, false);
}

} // namespace

std::string missingDisplay()
{
    if (!environment("QT_QPA_PLATFORM").empty())
        return "";
    const std::string wayland = environment("WAYLAND_DISPLAY"), x = environment("DISPLAY");
    if (!wayland.empty() && waylandAnswers(wayland))
        return "";
    const int xAnswers = x.empty() ? 0 : xServerAnswers(x);
    if (xAnswers != 0)
        return "";
    std::string reason;
    if (!wayland.empty())
        reason = "WAYLAND_DISPLAY is \"" + wayland + "\" but no Wayland compositor answers there";
    if (!x.empty())
        reason += (reason.empty() ? "" : "; ") + std::string("DISPLAY is \"") + x + "\" but no X server answers there";
    return reason.empty() ? "neither DISPLAY nor WAYLAND_DISPLAY is set" : reason;
}

std::string noDisplayMessage(const std::string& reason)
{
    return "pulsebench: no display found (" + reason +
           "), so the window cannot open.\n"
           "Without a display, replay a scripted session headless:\n"
           "    pulsebench --headless --script FILE [--out FOLDER]\n"
           "(e.g. --script examples/session.txt; scripts/run does that when DISPLAY and WAYLAND_DISPLAY are unset).\n";
}
