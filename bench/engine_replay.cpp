// engine_replay: runs a raw recording (.dat) through the KV pulse chain and the stroke engine as
// fast as possible, as demo playback would, and reports the speed on standard error; with --csv
// every stroke record goes to standard output. The engine's clock follows the recorded
// intervals, so the output does not depend on the machine.
#include "bench/ReplayInterface.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    "usage: engine_replay [--csv] [--magnets=N] [--inertia=X] [--cog=N] [--link=X] [--weight=X]\n"
    "                     [--threshold=N] [--trigger=N] FILE.dat\n";

bool Option(std::string_view arg, std::string_view name, std::string& value) {
    if (!arg.starts_with(name) || arg.size() <= name.size() || arg[name.size()] != '=')
        return false;
    value = std::string(arg.substr(name.size() + 1));
    return true;
}

int Fail(const char* message) {
    std::fprintf(stderr, "engine_replay: %s\n%s", message, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool csv = false;
    int magnets = 4, cog = 11, threshold = 5, trigger = 0;
    double inertia = 0.1088, link = 0.008, weight = 80;
    std::string file, value;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            if (arg == "--csv")
                csv = true;
            else if (Option(arg, "--magnets", value))
                magnets = std::stoi(value);
            else if (Option(arg, "--inertia", value))
                inertia = std::stod(value);
            else if (Option(arg, "--cog", value))
                cog = std::stoi(value);
            else if (Option(arg, "--link", value))
                link = std::stod(value);
            else if (Option(arg, "--weight", value))
                weight = std::stod(value);
            else if (Option(arg, "--threshold", value))
                threshold = std::stoi(value);
            else if (Option(arg, "--trigger", value))
                trigger = std::stoi(value);
            else if (!arg.starts_with("--") && file.empty())
                file = std::string(arg);
            else
                return Fail("unknown or repeated argument");
        }
    } catch (const std::exception&) {
        return Fail("bad number");
    }
    if (file.empty())
        return Fail("no recording given");

    QFile input(QString::fromLocal8Bit(file.c_str()));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "engine_replay: cannot open %s\n", file.c_str());
        return 1;
    }
    const TRawRecording recording{input.readAll()};
    const QByteArray& bytes = recording.Bytes;
    if (bytes.size() < kKvRawHeaderSize || std::memcmp(bytes.constData(), TrainingMagic.data(), TrainingMagic.size()) != 0) {
        std::fprintf(stderr, "engine_replay: %s is not a raw recording\n", file.c_str());
        return 1;
    }

    TReplayClock clock;
    std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
    kv->SetClock(&clock);
    kv->SetMagnets(magnets);
    kv->SetInertia(inertia);
    kv->SetCog(cog);
    kv->SetLink(link);
    kv->SetWeight(weight);
    kv->SetThresHold(threshold);
    kv->SetStrokeTrigger(trigger);
    kv->SetDoCalculate(true);
    Word lastNumber = 0;
    if (csv) {
        kv->OnStrokeData = [&lastNumber](TInterface*, const TStgStrokeData& d) {
            if (d.Number == lastNumber)
                return;  // an idle record repeats the last stroke's number
            lastNumber = d.Number;
            std::printf("%u,%.3f,%.0f,%.2f,%.1f,%.3f,%.3f,%.2f,%.2f,%.0f,%.4f\n",
                        unsigned(d.Number), d.Time, d.Power, d.StrokeRate, d.Length,
                        d.DriveTime, d.DriveRatio, d.Distance, d.Energy, d.Pulse, d.K);
        };
    }
    kv->Open(kSourceDemo, QStringLiteral("replay"));
    if (kv->State() != kvsOpened) {
        std::fprintf(stderr, "engine_replay: the interface did not open\n");
        return 1;
    }

    const qsizetype records = recording.Count();
    const auto start = std::chrono::steady_clock::now();
    for (qsizetype r = 0; r < records && kv->State() == kvsOpened; ++r)
        recording.Feed(r, *kv, clock);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int pulses = kv->PulseCount();
    const int strokes = kv->StrokeCount();
    kv->Close();
    std::fprintf(stderr, "%lld records, %d pulses, %d strokes in %.3f ms: %.0f pulses/s\n",
                 static_cast<long long>(records), pulses, strokes, seconds * 1000,
                 seconds > 0 ? pulses / seconds : 0.0);
    return 0;
}
