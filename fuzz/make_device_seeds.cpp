// Writes the seed files of the training-module frame and ANT message fuzz targets into the
// folder given: streams of whole messages of each kind, as the devices send them, behind the
// targets' leading option bytes.
#include "SeedFolder.h"
#include "devices/TrainingModuleFrames.h"
#include "devices/ant/AntStick.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

void Append(TBytes& to, const std::string& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// One received frame of kind with a payload of the given bytes (repeated to its length).
std::string VSFrame(const TVSFrameKind& kind, std::uint8_t fill) {
    std::string body(1, char(kind.Size));
    body += char(kind.Type);
    for (int i = 1; i < kind.Size; ++i)
        body += char(fill + i);
    return "\xFF\xFF" + body + char(FrameChecksum(body)) + "\xFE\xFE";
}

}  // namespace

int main(int argc, char** argv) {
    return RunSeedMaker(argc, argv, [](TSeedFolder& seeds) {
        // Every frame accepted, in packets of 7 bytes, with junk and a false start between.
        TBytes frames{0xFF, 6};
        for (const TVSFrameKind& kind : kVSReceivedFrames) {
            Append(frames, VSFrame(kind, std::uint8_t(kind.Type)));
            Append(frames, "\x01\xFF\xFF\x09");
        }
        seeds.Save("vs_frames", frames);

        TBytes ant{7};
        for (std::uint8_t id : {KVANT_MESG_STARTUP, KVANT_MESG_CHANNEL_RESPONSE,
                                KVANT_MESG_BROADCAST_DATA, KVANT_MESG_CAPABILITIES}) {
            const TBytes m = kvant::FrameMessage(id, {0, 1, 2, 3, 4, 5, 6, 7});
            ant.insert(ant.end(), m.begin(), m.end());
            ant.push_back(0xA4);  // a sync byte that starts nothing
        }
        seeds.Save("ant_messages", ant);
    });
}
