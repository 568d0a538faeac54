// The training module played on a pseudo terminal: it reads the program's command frames
// (ping, accept, stop) and answers as the test tells it. Frames are built here byte by byte,
// apart from the program's own frame code.
#pragma once

#include "PtyPeer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vsenc {

// FF FF n type payload crc FE FE, the crc over n, type and payload.
std::string Frame(std::uint8_t type, const std::string& payload);
std::string Alive();  // 70 zero bytes of payload
std::string StartWorkout(std::uint8_t limitKind, std::uint16_t limitValue,
                         std::uint8_t intervalKind, std::uint16_t work, std::uint16_t rest);
// W0..W12 and the 60 force bytes (10 N each).
std::string Stroke(const std::array<std::uint16_t, 13>& words,
                   const std::array<std::uint8_t, 60>& forces);
std::string WorkoutFinished(std::uint32_t d0, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3);
std::string WorkoutCanceled();

}  // namespace vsenc

class TVSModulePeer {
public:
    // Reads the commands written so far and answers them: ALIVE to each ping while AnswerPing,
    // AfterAccept to the accept.
    void Poll();
    void Write(const std::string& bytes) { Pty.Write(bytes); }

    TPtyPeer Pty;
    bool AnswerPing = true;
    std::string AfterAccept;
    std::vector<std::uint8_t> Commands;  // command types, in the order received
    int BadBytes = 0;                    // bytes that were no well-formed command frame

private:
    std::string FPending;
};
