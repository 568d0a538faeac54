// Bytes from a pseudo terminal through the serial port to the packet event, in bytes/s.
#include "bench/BenchPty.h"
#include "devices/serial/SerialPort.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>
#include <cerrno>
#include <string>
#include <unistd.h>

static void BM_SerialReceive(benchmark::State& state) {
    TBenchPty pty;
    if (!StartPtyBench(state, pty))
        return;
    const int master = pty.Master;

    TSerialPortNG port;
    port.SetCommPort(QString::fromStdString(pty.Name));
    port.SetClusterSize(4);
    std::size_t received = 0;
    port.OnRxClusterEvent = [&](TSerialPortNG* sender) {
        received += sender->ReadNextClusterAsString().size();
    };
    port.SetActive(true);
    if (!port.Active()) {
        state.SkipWithError("port did not open");
        return;
    }

    const std::string block(std::size_t(state.range(0)), 'x');
    for (auto _ : state) {
        received = 0;
        std::size_t sent = 0;
        while (received < block.size()) {
            if (sent < block.size()) {
                const ssize_t n = ::write(master, block.data() + sent, block.size() - sent);
                if (n > 0)
                    sent += std::size_t(n);
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
    port.SetActive(false);
}
BENCHMARK(BM_SerialReceive)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);
