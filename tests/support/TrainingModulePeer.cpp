#include "TrainingModulePeer.h"

namespace vsenc {

namespace {
void Le(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}
}  // namespace

std::string Frame(std::uint8_t type, const std::string& payload) {
    const std::uint8_t n = std::uint8_t(1 + payload.size());
    std::uint8_t crc = n ^ type;
    for (char c : payload)
        crc ^= std::uint8_t(c);
    std::string s = "\xFF\xFF";
    s += char(n);
    s += char(type);
    s += payload;
    s += char(crc);
    s += "\xFE\xFE";
    return s;
}

std::string Alive() {
    return Frame(0x81, std::string(70, '\0'));
}

std::string StartWorkout(std::uint8_t limitKind, std::uint16_t limitValue,
                         std::uint8_t intervalKind, std::uint16_t work, std::uint16_t rest) {
    std::string p;
    Le(p, limitKind, 1);
    Le(p, limitValue, 2);
    Le(p, intervalKind, 1);
    Le(p, work, 2);
    Le(p, rest, 2);
    return Frame(0x82, p);
}

std::string Stroke(const std::array<std::uint16_t, 13>& words,
                   const std::array<std::uint8_t, 60>& forces) {
    std::string p;
    for (std::uint16_t w : words)
        Le(p, w, 2);
    for (std::uint8_t f : forces)
        p += char(f);
    return Frame(0x83, p);
}

std::string WorkoutFinished(std::uint32_t d0, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3) {
    std::string p;
    for (std::uint32_t d : {d0, d1, d2, d3})
        Le(p, d, 4);
    return Frame(0x84, p);
}

std::string WorkoutCanceled() {
    return Frame(0x85, "");
}

}  // namespace vsenc

void TVSModulePeer::Poll() {
    if (!Pty.IsOpen())
        return;
    FPending += Pty.ReadAvailable();
    while (FPending.size() >= 7) {
        const auto b = [&](std::size_t i) { return std::uint8_t(FPending[i]); };
        const bool wellFormed = b(0) == 0xFF && b(1) == 0xFF && b(2) == 1 && b(3) == b(4) &&
                                b(5) == 0xFE && b(6) == 0xFE;
        if (!wellFormed) {
            ++BadBytes;
            FPending.erase(0, 1);
            continue;
        }
        const std::uint8_t type = b(3);
        FPending.erase(0, 7);
        Commands.push_back(type);
        if (type == 1 && AnswerPing)
            Pty.Write(vsenc::Alive());
        else if (type == 2 && !AfterAccept.empty())
            Pty.Write(AfterAccept);
    }
}
