// demosynth: writes a raw flywheel recording (.dat) from the rowing model, and optionally the
// model's truth per stroke as CSV. The build runs it to make the built-in demo recording.
#include "foundation/core/AppUtils.h"
#include "platform/AtomicFile.h"
#include "tools/demosynth/DemoSynth.h"

#include <QString>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    "usage: demosynth [options] --out FILE.dat\n"
    "  --out FILE        the raw recording to write\n"
    "  --truth FILE      also write the model's truth per stroke (CSV)\n"
    "  --profile NAME    session (about 30 minutes, default) or steady\n"
    "  --minutes X       steady: minutes of rowing (default 2); session: stop after X minutes\n"
    "  --rate R          steady: strokes per minute (default 24)\n"
    "  --peak N          steady: peak handle force in N (default 650)\n"
    "  --stop S          steady: then stop, and let the wheel stand for S seconds\n"
    "  --seed N          seed of the noise (default fixed)\n"
    "  --drop-every K    the sensor misses one pulse in the recovery of every K-th stroke\n"
    "  --drop-at F       where in that recovery: 0 its start .. 1 its end (default 0.5)\n"
    "  --version A.B.C.D program version written into the header\n"
    "  --stats           print a summary on standard error\n";

bool ParseDouble(std::string_view text, double& value) {
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

bool ParseSeed(std::string_view text, std::uint64_t& value) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && res.ec == std::errc() && res.ptr == text.data() + text.size();
}

bool WriteAll(const QString& name, const QByteArray& bytes) {
    QString error; // a failed run leaves no half-written file behind
    if (!WriteFileAtomically(name, bytes, &error)) {
        std::fprintf(stderr, "demosynth: cannot write %s: %s\n", qPrintable(name), qPrintable(error));
        return false;
    }
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "demosynth: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string out, truth, profile = "session", versionText = KV_PROJECT_VERSION;
    double minutes = -1, rate = 24, peak = 650, stop = 0, dropEvery = 0;
    bool stats = false;
    TDemoSynthOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--stats") {
            stats = true;
            continue;
        }
        if (i + 1 >= argc)
            return Fail("missing value or unknown option " + std::string(arg));
        const std::string_view value = argv[++i];
        bool ok = true;
        if (arg == "--out")
            out = value;
        else if (arg == "--truth")
            truth = value;
        else if (arg == "--profile")
            profile = value;
        else if (arg == "--version")
            versionText = value;
        else if (arg == "--minutes")
            ok = ParseDouble(value, minutes) && minutes > 0;
        else if (arg == "--rate")
            ok = ParseDouble(value, rate) && rate >= 10 && rate <= 50;
        else if (arg == "--peak")
            ok = ParseDouble(value, peak) && peak > 0 && peak <= 2000;
        else if (arg == "--stop")
            ok = ParseDouble(value, stop) && stop >= 0;
        else if (arg == "--seed")
            ok = ParseSeed(value, options.Seed);
        else if (arg == "--drop-every")
            ok = ParseDouble(value, dropEvery) && dropEvery >= 1 && dropEvery <= 1000 &&
                 dropEvery == std::floor(dropEvery);
        else if (arg == "--drop-at")
            ok = ParseDouble(value, options.DropAt) && options.DropAt >= 0 && options.DropAt <= 1;
        else
            return Fail("unknown option " + std::string(arg));
        if (!ok)
            return Fail("bad value for " + std::string(arg) + ": " + std::string(value));
    }
    if (out.empty())
        return Fail("no output file");
    options.DropEvery = int(dropEvery);
    const std::uint32_t version = VersionStrToInt(QString::fromStdString(versionText));
    if (version == 0)
        return Fail("bad version " + versionText);
    if (profile == "steady")
        options.Segments = DemoSteadyProfile(minutes > 0 ? minutes : 2, rate, peak, stop);
    else if (profile == "session")
        options.MaxSeconds = minutes > 0 ? minutes * 60 : 0;
    else
        return Fail("unknown profile " + profile);

    const auto begin = std::chrono::steady_clock::now();
    const TDemoSynthResult result = SynthesizeDemo(options);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    if (!WriteAll(QString::fromStdString(out), DemoFileBytes(result.Records, version)))
        return 1;
    if (!truth.empty()) {
        const std::string csv = DemoTruthCsv(result.Strokes);
        if (!WriteAll(QString::fromStdString(truth), QByteArray(csv.data(), qsizetype(csv.size()))))
            return 1;
    }
    if (stats)
        std::fprintf(stderr,
                     "demosynth: %.1f s of rowing, %zu strokes, %zu records (%zu bytes), "
                     "%lld steps in %.3f s\n",
                     result.Duration, result.Strokes.size(), result.Records.size(),
                     kDemoHeaderSize + result.Records.size() * kStgRawDataSize, result.Steps,
                     elapsed);
    return 0;
}
