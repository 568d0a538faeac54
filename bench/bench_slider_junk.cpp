// Junk on the slider's line (no protocol lines, long, with line ends) from a pseudo terminal
// through the port, the line detector and its trace, in bytes/s of junk.
#include "bench/BenchPty.h"
#include "devices/FlywheelInterface.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

class TSliderBench : public TKVInterface {
public:
    TSliderBench(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {
        FInterfaceType = kKvSliderInterfaceType;
    }
};

// Writes everything, running events meanwhile, until the interface has taken it.
void Deliver(int master, TKVInterface& kv, const std::string& bytes) {
    const std::uint64_t target = kv.ReceivedBytes() + bytes.size();
    std::size_t sent = 0;
    while (kv.ReceivedBytes() < target) {
        if (sent < bytes.size()) {
            const ssize_t n = ::write(master, bytes.data() + sent, bytes.size() - sent);
            if (n > 0)
                sent += std::size_t(n);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace

static void BM_SliderJunkLines(benchmark::State& state) {
    TBenchPty pty;
    if (!StartPtyBench(state, pty))
        return;
    const int master = pty.Master;

    std::unique_ptr<TSliderBench> kv(CreateInterface<TSliderBench>(nullptr));
    kv->SetProtocolSet({kvpVSDebug});
    kv->Open(kSourceSerial, QString::fromStdString(pty.Name));
    if (!kv->IsConnected()) {
        state.SkipWithError("port did not open");
        return;
    }
    Deliver(master, *kv, std::string(kSliderIdentification) + "\r\n");

    // 80 KB: lines of 4000 bytes that can begin no protocol line.
    const int lineLength = int(state.range(0));
    std::string junk;
    while (junk.size() < 80000) {
        for (int i = 0; i < lineLength; ++i)
            junk += "abc\x01xyz\x1b"[i % 8];
        junk += '\n';
    }
    for (auto _ : state)
        Deliver(master, *kv, junk);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(junk.size()));
    kv->Close();
}
BENCHMARK(BM_SliderJunkLines)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond);
