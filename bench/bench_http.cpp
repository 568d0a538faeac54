// The HTTP response reader on a 1 MB download in 1,460-byte reads (one network segment each),
// and a whole GET of 8 MB from a loopback server (socket, event loop and reader together).
#include "net/HttpClient.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string Header = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";

void BM_ResponseReader1MB(benchmark::State& state) {
    std::string response = Header + std::string(1 << 20, 'x');
    std::int64_t total = 0;
    for (auto _ : state) {
        THttpResponseReader reader;
        reader.OnBody = [&](const char*, int n) { total += n; };
        reader.Reset();
        for (std::size_t at = 0; at < response.size(); at += 1460)
            reader.Feed(response.data() + at, std::min<std::size_t>(1460, response.size() - at));
    }
    benchmark::DoNotOptimize(total);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(response.size()));
}
BENCHMARK(BM_ResponseReader1MB);

void BM_LoopbackGet8MB(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench_http";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 4);
    socklen_t len = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string body(8 << 20, 'y');
    const std::string response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    std::thread server([&] {
        for (;;) {
            int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                return;
            char buf[1024];
            if (::recv(fd, buf, sizeof buf, 0) <= 0) {  // the stop connection
                ::close(fd);
                return;
            }
            for (std::size_t at = 0; at < response.size();) {
                ssize_t n = ::send(fd, response.data() + at, response.size() - at, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                at += std::size_t(n);
            }
            ::close(fd);
        }
    });
    THttpCli http;
    http.URL = "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/";
    std::int64_t total = 0;
    http.OnDocData = [&](THttpCli*, const char*, int n) { total += n; };
    for (auto _ : state)
        http.Get();
    int stop = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(stop, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::close(stop);
    server.join();
    ::close(listener);
    state.SetBytesProcessed(total);
}
BENCHMARK(BM_LoopbackGet8MB)->Unit(benchmark::kMillisecond);

}  // namespace
