// A minimal HTTP server for the Windows-hosted tests: on a real socket on 127.0.0.1, it answers
// every request with 200, the given body with its length, and closes the connection. For the
// tests that need WinINet to fetch something without the test HTTP server of the end-to-end
// tests.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

class TinyHttpServer {
public:
    explicit TinyHttpServer(std::string body) : m_body(std::move(body))
    {
        WSADATA wsa;
        ::WSAStartup(MAKEWORD(2, 2), &wsa);
        m_listen = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(m_listen, 16);
        int len = sizeof(addr);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~TinyHttpServer()
    {
        ::closesocket(m_listen);  // ends accept() and with it the thread
        m_thread.join();
        ::WSACleanup();
    }
    TinyHttpServer(const TinyHttpServer&) = delete;
    TinyHttpServer& operator=(const TinyHttpServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/file.bin"; }
    std::wstring UrlW() const
    {
        const std::string url = Url();
        return std::wstring(url.begin(), url.end());
    }
    int Answered() const { return m_answered; }

private:
    void Serve()
    {
        for (;;) {
            SOCKET c = ::accept(m_listen, nullptr, nullptr);
            if (c == INVALID_SOCKET)
                return;
            Answer(c);
            ::closesocket(c);
            ++m_answered;
        }
    }

    void Answer(SOCKET c) const
    {
        std::string request;
        char buf[1024];
        int n;
        while (request.find("\r\n\r\n") == std::string::npos &&
               (n = ::recv(c, buf, sizeof(buf), 0)) > 0)
            request.append(buf, n);
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) +
            "\r\nConnection: close\r\n\r\n" + m_body;
        for (size_t sent = 0; sent < answer.size();) {
            n = ::send(c, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
        ::shutdown(c, SD_SEND);
        while (::recv(c, buf, sizeof(buf), 0) > 0) {
        }
    }

    std::string m_body;
    SOCKET m_listen = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<int> m_answered{0};
    std::thread m_thread;
};
