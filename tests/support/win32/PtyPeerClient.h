#pragma once
// The control connection to the far end of a COM port that the wine prefix maps onto a Linux pty
// (tests/wine/pty_peer.cpp): one command line out, one reply line back. MEMVANE_PEER names the
// peer's 127.0.0.1:port; without it, or when nobody listens there, ok() is false.

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <string>

namespace memvane::test {

inline std::string envText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline std::string hexBytes(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class PtyPeerClient
{
public:
    PtyPeerClient()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        std::string where = envText("MEMVANE_PEER");
        std::size_t colon = where.find(':');
        if (colon == std::string::npos)
            return;
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<u_short>(std::stoi(where.substr(colon + 1))));
        inet_pton(AF_INET, where.substr(0, colon).c_str(), &addr.sin_addr);
        if (connect(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            closesocket(m_socket);
            m_socket = INVALID_SOCKET;
        }
    }
    ~PtyPeerClient()
    {
        if (m_socket != INVALID_SOCKET)
            closesocket(m_socket);
        WSACleanup();
    }
    PtyPeerClient(const PtyPeerClient&) = delete;
    PtyPeerClient& operator=(const PtyPeerClient&) = delete;

    bool ok() const { return m_socket != INVALID_SOCKET; }

    std::string ask(const std::string& line)
    {
        std::string out = line + "\n";
        send(m_socket, out.data(), static_cast<int>(out.size()), 0);
        std::string reply;
        char c;
        while (recv(m_socket, &c, 1, 0) == 1 && c != '\n')
            reply += c;
        return reply;
    }
    std::string stty() { return ask("stty"); }
    // The bytes arrive on the port's receive side.
    void send_(const std::string& bytes) { EXPECT_EQ(ask("send " + hexBytes(bytes)), "ok"); }
    // What the port sent: up to n bytes, waiting at most 5 s for them.
    std::string received(std::size_t n) { return ask("recv " + std::to_string(n) + " 5000"); }
    void lines(int bits) { EXPECT_EQ(ask("lines " + std::to_string(bits)), "ok"); }
    int lines() { return std::stoi(ask("lines?")); }

private:
    SOCKET m_socket = INVALID_SOCKET;
};

} // namespace memvane::test
