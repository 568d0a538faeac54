#include "devices/FlywheelInterface.h"

#include "devices/serial/SerialPort.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

// At most this much of a dropped line goes to the trace.
constexpr std::size_t kJunkExcerpt = 40;

constexpr unsigned kOpenWaitMs = 10;
// The open wait ends by the no-data timer; this only bounds it should time stand still.
constexpr int kOpenWaitTurns = 2 * kKvNoDataTimeoutMs / int(kOpenWaitMs);
// A slider line longer than this without its LF is not a line: the oldest bytes go.
constexpr std::size_t kMaxPendingLine = 4096;
constexpr int kMaxPortName = 255;

bool Bit(unsigned char b, int n) {
    return ((b >> n) & 1) != 0;
}

bool FrameBitsHold(const unsigned char* b) {
    return !Bit(b[0], 0) && Bit(b[1], 0) && Bit(b[2], 0) && Bit(b[3], 0);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Runs a routine when the scope ends, also by an exception.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F f) : FF(std::move(f)) {}
    ~TScopeExit() { FF(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FF;
};

}  // namespace

QString KvLineExcerpt(std::string_view line) {
    QString text;
    for (unsigned char c : line.substr(0, kJunkExcerpt)) {
        if (c >= 0x20 && c < 0x7F && c != '\\')
            text += QLatin1Char(char(c));
        else
            text += QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
    }
    if (line.size() > kJunkExcerpt)
        text += QStringLiteral("... (%1 bytes)").arg(line.size());
    return text;
}

// ---------------------------------------------------------------- decoding

bool KvDetectSample(TKeloProtocol p, const unsigned char* b, bool strict) {
    switch (p) {
    case kvpDOS:
        return !strict || FrameBitsHold(b);
    case kvpKvw:
        return FrameBitsHold(b) && Bit(b[1], 6) == (Bit(b[3], 7) != Bit(b[3], 5)) &&
               Bit(b[1], 5) == (Bit(b[3], 4) != Bit(b[3], 6));
    case kvpKV3W:
        return FrameBitsHold(b) && Bit(b[1], 6) == (Bit(b[3], 7) != Bit(b[3], 6)) &&
               Bit(b[1], 5) == (Bit(b[3], 4) == Bit(b[3], 5));
    default:
        return false;
    }
}

TKVSample KvDecodeSample(const unsigned char* b) {
    std::array<int, 4> r{};
    for (int i = 0; i < 4; ++i)
        r[i] = ReverseBits(b[i]);
    TKVSample s;
    const int period = ((255 - r[0]) & 127) * 16 + ((255 - r[1]) >> 3);
    s.HeartRaw = std::clamp(period > 0 ? 72000 / period : period, kKvHeartMin, kKvHeartMax);
    const int code = (r[1] & 1) * 16384 + (r[2] & 127) * 128 + (r[3] & 127);
    if (code == kKvNoPulseCode) {
        s.Interval = kKvNoPulseInterval;
        s.NoPulse = true;
    } else {
        s.Interval = double(kKvNoPulseCode - code) / kKvTicksPerSecond;
    }
    s.Interval = std::nearbyint(s.Interval * 1000000.0) / 1000000.0;
    return s;
}

bool KvSliderLineValue(std::string_view line, int& value) {
    std::string_view digits = line.substr(std::min<std::size_t>(3, line.size()), 4);
    while (!digits.empty() && (digits.back() == '\r' || digits.back() == ' '))
        digits.remove_suffix(1);
    if (digits.empty())
        return false;
    int v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// ---------------------------------------------------------------- texts

QString SpinnerTextOf(int pulseCount) {
    static constexpr char spinner[] = "|/-\\|/-\\";
    const char c = spinner[((pulseCount % 8) + 8) % 8];
    return c == '-' ? QStringLiteral("--") : QString(QLatin1Char(c));
}

QString MagnetStatsTextOf(const std::vector<int>& smaller, const std::vector<int>& equal,
                          const std::vector<int>& greater) {
    const std::size_t n = std::min({smaller.size(), equal.size(), greater.size()});
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        const int total = std::max(smaller[i] + equal[i] + greater[i], 1);
        const int largest = std::max({smaller[i], equal[i], greater[i]});
        char piece[32];
        std::snprintf(piece, sizeof piece, " %3.0f", 100.0 * largest / total);
        text += piece;
    }
    if (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString TKVInterface::MagnetPatternText() const {
    static constexpr char marks[] = {'.', '-', 'O', '+'};
    QString text = QString::number(FMagnetIndex) + QLatin1Char(' ');
    for (std::uint8_t m : FMagnetPattern)
        text += QLatin1Char(m < 4 ? marks[m] : '?');
    return text;
}

QString TKVInterface::MagnetStatsText() const {
    return MagnetStatsTextOf(FSmallerCounts, FEqualCounts, FGreaterCounts);
}

// ---------------------------------------------------------------- life

TKVInterface::TKVInterface(TCreateKey key, QObject* owner) : TInterface(key, owner) {
    FInterfaceType = 1;
    FWeight = 85.0;
    FBoatType = kvb1x;
    FCog = 11;
}

TKVInterface::~TKVInterface() {
    DebugTrace(QStringLiteral("TKVInterface.Destroy"));
}

// ---------------------------------------------------------------- open and time-out

void TKVInterface::ComPortOpen() {
    if (FOpenName.isEmpty())
        throw EKeloError(std::string("No source selected"));
    FDataSeen = 0;
    FValidData = 0;
    QPointer<TKVInterface> self(this);
    // A port still open from before is closed without passing through the closed state.
    if (FPort->Active()) {
        DeactivatePort();  // waits, running events
        if (!self)
            return;
    }
    DiscardQueuedPackets();
    if (FWaitForData) {
        StopTimer();
        StartTimer(kKvNoDataTimeoutMs, [this] { NoDataTimer(); });
    }
    FPort->SetCommPort(FOpenName.left(kMaxPortName));
    FPort->SetActive(true);  // an open error is reported and closes the interface
    if (!self)
        return;
    if (FPort->Active()) {
        FPort->ClearRxDQueue();
        FPort->SetRTSState(FRTSOnOpen != 0);
        FPort->SetDTRState(FDTROnOpen != 0);
        if (self)
            PortOpened();
    }
    if (!FWaitForData || !self)
        return;
    for (int turn = 0; turn < kOpenWaitTurns && !FValidData && TimerEnabled(); ++turn) {
        Clock().Wait(kOpenWaitMs);
        if (!self)
            return;
    }
    StopTimer();
}

void TKVInterface::NoDataTimer() {
    SetTimerEnabled(false);
    InterfaceBeep();
    if (!FWaitForData || FValidData)
        return;
    // Reported once per open; the caller of OpenAndWait decides whether to close.
    ReportError(FDataSeen ? QStringLiteral("ComPort : No valid data")
                          : QStringLiteral("ComPort : No data"));
}

// ---------------------------------------------------------------- receive path

void TKVInterface::ComPortRxCluster(TSerialPortNG* Sender) {
    TInterface::ComPortRxCluster(Sender);
    if (FReceiving)
        return;  // a nested event: the outer handler drains the queue
    QPointer<TKVInterface> self(this);
    FReceiving = 1;
    const TScopeExit release([&] {
        if (self)
            FReceiving = 0;
    });
    try {
        // Every queued packet, so that no backlog is left for a later event.
        while (self && FPort->ClusterCount() > 0) {
            const std::string packet = FPort->ReadNextClusterAsString();
            FDataSeen = 1;
            FReceivedBytes += packet.size();
            if (packet.size() < kKvSampleSize && !FValidData) {
                DebugTrace(QStringLiteral("NOT FValidData"));
                continue;
            }
            if (FState <= kvsClosed || FState == kvsPausing || FState == kvsPaused)
                continue;
            FReceiveBuffer += packet;
            if (FInterfaceType == kKvSliderInterfaceType && FReceiveBuffer.size() > kMaxPendingLine &&
                FReceiveBuffer.find('\n') == std::string::npos)
                FReceiveBuffer.erase(0, FReceiveBuffer.size() - kMaxPendingLine);
            ProcessReceiveBuffer();
        }
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
}

bool TKVInterface::BufferReady() const {
    if (FInterfaceType == kKvSliderInterfaceType)
        return FReceiveBuffer.find('\n') != std::string::npos;
    return FReceiveBuffer.size() >= kKvSampleSize;
}

void TKVInterface::ProcessReceiveBuffer() {
    QPointer<TKVInterface> self(this);
    // Bytes read before the device vanished are still decoded: the port counts as open until
    // the loss has been reported and the port closed (ComHandle), not only while the worker
    // runs (Active).
    while (self && FPort->ComHandle() >= 0 && FState > kvsClosed && BufferReady()) {
        std::size_t length = 0;
        bool malformed = false;
        const TKeloProtocol protocol = DetectUnit(length, malformed);
        if (malformed) {
            FReceiveBuffer.erase(0, length);
            FJunkLineLeft = FJunkLineLeft > length ? FJunkLineLeft - length : 0;
            if (OnProtocolError)
                OnProtocolError(this);
            continue;
        }
        if (protocol == kvpUnknown) {
            // A line that is no protocol line is dropped byte by byte, as a later part of it
            // may still be one; it is traced once.
            if (length > 0 && FJunkLineLeft == 0) {
                DebugTrace(QStringLiteral("???? : ") +
                           KvLineExcerpt(std::string_view(FReceiveBuffer).substr(0, length - 1)));
                FJunkLineLeft = length;
            }
            if (FJunkLineLeft > 0)
                --FJunkLineLeft;
            FReceiveBuffer.erase(0, 1);
            if (FInterfaceType != kKvSliderInterfaceType && OnProtocolError)
                OnProtocolError(this);
            continue;
        }
        FProtocol = protocol;
        const std::string unit = FReceiveBuffer.substr(0, length);
        FReceiveBuffer.erase(0, length);
        FJunkLineLeft = FJunkLineLeft > length ? FJunkLineLeft - length : 0;
        if (!FValidData) {
            FValidData = 1;
            if (FState == kvsOpening)
                SetState(kvsOpened);
            if (!self)
                return;
        }
        FPreviousInterval = FInterval;
        DecodeUnit(protocol, unit);
        int n = 1;
        if (!FNoPulse) {
            n = int(std::nearbyint(SafeDivide(float(FInterval), float(FPreviousInterval))));
            if (n >= 1 && n < 5)
                FInterval /= n;
            else
                n = 1;
        }
        if (!DeliverPulses(n))
            return;
    }
}

bool TKVInterface::DeliverPulses(int n) {
    QPointer<TKVInterface> self(this);
    for (int i = 0; i < n && FState > kvsClosed; ++i) {
        RecordData();  // a failed write reports an error, whose handler may close or free us
        if (!self)
            return false;
        if (FState <= kvsClosed)
            break;
        ShiftPulseValidity();
        UpdateMagnetStats();
        if (OnRawData) {
            OnRawData(this, FInterval, FHeartRaw, int(FHeartCorrected));
            if (!self)
                return false;
            if (FState <= kvsClosed)
                break;
        }
        AnalysePulse(n != 1);
        if (!self)
            return false;
    }
    return true;
}

TKeloProtocol TKVInterface::DetectUnit(std::size_t& length, bool& malformed) const {
    malformed = false;
    length = 0;
    const auto* b = reinterpret_cast<const unsigned char*>(FReceiveBuffer.data());
    if (FReceiveBuffer.size() >= kKvSampleSize) {
        for (TKeloProtocol p : {kvpKvw, kvpKV3W, kvpDOS}) {
            if (FProtocolSet.Contains(p) && KvDetectSample(p, b, FStrictProtocol)) {
                length = kKvSampleSize;
                return p;
            }
        }
    }
    if (FProtocolSet.Contains(kvpVSDebug)) {
        const std::size_t lf = FReceiveBuffer.find('\n');
        if (lf != std::string::npos) {
            length = lf + 1;
            switch (CheckLine(std::string_view(FReceiveBuffer).substr(0, lf))) {
            case TLine::Match: return kvpVSDebug;
            case TLine::Malformed: malformed = true; return kvpUnknown;
            case TLine::NoMatch: length = lf + 1; break;  // kvpUnknown, with the line's length
            }
        }
    }
    return kvpUnknown;
}

TKVInterface::TLine TKVInterface::CheckLine(std::string_view line) const {
    if (FState == kvsOpening) {
        if (StartsWith(line, kSliderIdentification))
            return TLine::Match;
    } else {
        int value = 0;
        if (StartsWith(line, "!S,") || StartsWith(line, "!R,"))
            return KvSliderLineValue(line, value) ? TLine::Match : TLine::Malformed;
        static constexpr std::string_view accepted[] = {
            "!SS", "!SE", "!RS", "!RE", kSliderBanner, kSliderIdentification,
            "POWER DOWN", "SPEED", "HRM Control", "Sleep",
        };
        for (std::string_view prefix : accepted)
            if (StartsWith(line, prefix))
                return TLine::Match;
    }
    return TLine::NoMatch;
}

void TKVInterface::DecodeUnit(TKeloProtocol protocol, std::string_view unit) {
    if (protocol != kvpVSDebug) {
        const TKVSample s = KvDecodeSample(reinterpret_cast<const unsigned char*>(unit.data()));
        FInterval = s.Interval;
        FHeartRaw = s.HeartRaw;
        FNoPulse = s.NoPulse;
        return;
    }
    FNoPulse = false;
    int value = 0;
    if ((StartsWith(unit, "!S,") || StartsWith(unit, "!R,")) && KvSliderLineValue(unit, value))
        FInterval = value * kKvSliderTick;
    // Other accepted lines pass the previous interval on once more.
}

// ---------------------------------------------------------------- pulse statistics

bool TKVInterface::AllPulsesValid() const {
    return std::all_of(FPulseValidity.begin(), FPulseValidity.end(),
                       [](std::uint8_t v) { return v == 1; });
}

void TKVInterface::ShiftPulseValidity() {
    if (FPulseValidity.empty())
        return;
    std::move_backward(FPulseValidity.begin(), FPulseValidity.end() - 1, FPulseValidity.end());
    FPulseValidity[0] = FInterval < kKvInvalidInterval ? 1 : 0;
}

void TKVInterface::UpdateMagnetStats() {
    const int magnets = Magnets();
    if (FMagnetDelta.size() != std::size_t(magnets))
        ResetReceiveStats();
    if (FInterval > kKvInvalidInterval) {
        FMagnetIndex = -1;
        std::fill(FMagnetDelta.begin(), FMagnetDelta.end(), 0.0);
        std::fill(FMagnetPattern.begin(), FMagnetPattern.end(), kvmInit);
        std::fill(FSmallerCounts.begin(), FSmallerCounts.end(), 0);
        std::fill(FEqualCounts.begin(), FEqualCounts.end(), 0);
        std::fill(FGreaterCounts.begin(), FGreaterCounts.end(), 0);
    } else {
        const double delta = FPreviousInterval - FInterval;
        const double d = FMagnetIndex < 0 ? 0.0 : delta - FMagnetDelta[std::size_t(FMagnetIndex)];
        FMagnetIndex = (FMagnetIndex + 1) % magnets;
        const auto i = std::size_t(FMagnetIndex);
        FMagnetDelta[i] = delta;
        if (d < 0) {
            FMagnetPattern[i] = kvmSmaller;
            ++FSmallerCounts[i];
        } else if (d == 0) {
            FMagnetPattern[i] = kvmEqual;
            ++FEqualCounts[i];
        } else {
            FMagnetPattern[i] = kvmGreater;
            ++FGreaterCounts[i];
        }
    }
    FPreviousInterval = FInterval;
}

void TKVInterface::ResetReceiveStats() {
    const auto n = std::size_t(Magnets());
    FPulseValidity.assign(n, 0);
    FMagnetDelta.assign(n, 0.0);
    FMagnetPattern.assign(n, kvmInit);
    FSmallerCounts.assign(n, 0);
    FEqualCounts.assign(n, 0);
    FGreaterCounts.assign(n, 0);
    FMagnetIndex = -1;
}

// ---------------------------------------------------------------- lifecycle

void TKVInterface::Prepare() {
    FJunkLineLeft = 0;  // the receive buffer starts empty
    RecordStart();
    ResetReceiveStats();
    ResetSession();
    UpdateModelConstants();
}

void TKVInterface::Close() {
    DebugTrace(QStringLiteral("TKVInterface.Close"));
    // Called from inside an engine event the engine is still on the stack: it sees the closed
    // state when the event returns and stops there, so it is not run again here.
    CloseSource();
}

void TKVInterface::ClearOnClose() {
    FPhase = 0;
    FDataSeen = 0;
    std::fill(FPulseValidity.begin(), FPulseValidity.end(), 0);
}

void TKVInterface::Pause() {
    if (FState < kvsOpened || FState == kvsPausing || FState == kvsPaused)
        return;
    QPointer<TKVInterface> self(this);
    try {
        FErrorShown = 0;
        SetState(kvsPausing);
        if (!self)
            return;
        if (FSourceKind == kSourceDemo)
            SetTimerEnabled(false);
        SetState(kvsPaused);
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
}

void TKVInterface::Continue() {
    if (FState != kvsPaused)
        return;
    QPointer<TKVInterface> self(this);
    try {
        SetState(kvsContinueing);
        if (!self)
            return;
        if (FSourceKind == kSourceDemo) {
            FDueTick = Clock().NowMs() - 1;  // no catch-up for the paused time
            SetTimerEnabled(true);
        } else {
            FRecoveryWhole = false;  // what the device sent meanwhile is lost
        }
        SetState(kvsContinued);
        if (self)
            SetState(kvsOpened);
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
}

void TKVInterface::Reset() {
    DebugTrace(QStringLiteral("TKVInterface.Reset"));
    if (FState != kvsOpened)
        return;
    if (FActive && FSampleCount > 0) {
        // The rower rows on: numbering and totals start afresh with the next stroke, which is
        // measured whole; the stroke under way is not counted.
        FStrokeCount = 0;
        FTotalEnergy = 0;
        FTotalDistance = 0;
        FSkipStroke = true;
        return;
    }
    ResetReceiveStats();
    ResetSession();
}
