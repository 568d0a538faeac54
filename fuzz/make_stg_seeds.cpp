// Writes the seed files of the .stg fuzz targets into the folder given: the test fixtures and a
// few damaged variants of them.
#include "SeedFolder.h"
#include "foundation/files/TrainingFiles.h"
#include "support/ByteBuilder.h"

int main(int argc, char** argv) {
    return RunSeedMaker(argc, argv, [](TSeedFolder& seeds) {
        const TStgFileBuilder sample = BuildSampleStgFile();
        seeds.Save("sample.stg", sample.Bytes());
        seeds.Save("old.stg", BuildOldStgFile());
        seeds.Save("start-only.stg", TStgFileBuilder().Bytes());

        TTraining training;
        if (DecodeStgFile(sample.Bytes().data(), sample.Bytes().size(), training))
            seeds.Save("written.stg", EncodeStgFile(training));

        std::vector<std::uint8_t> cut(sample.Bytes().begin(), sample.Bytes().begin() + 3000);
        seeds.Save("cut.stg", cut);

        TStgFileBuilder odd;
        odd.Chunk(9, 4, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}})
            .Chunk(3, 80, 1, {StrokeBuilder().Int("Number", 1).F32("Time", 1.0f).Bytes()})
            .Chunk(4, 200, 1, {std::vector<std::uint8_t>(200, 7)})
            .Chunk(1, 10, 2, {std::vector<std::uint8_t>(10, 1), std::vector<std::uint8_t>(10, 2)})
            .Chunk(7, 2, 2, {{1, 2}, {3, 4}})
            .Chunk(5, 12, 1, {std::vector<std::uint8_t>(12, 9)});
        seeds.Save("odd-sizes.stg", odd.Bytes());

        std::vector<std::uint8_t> oldWithChunks = BuildOldStgFile();
        const std::vector<std::uint8_t> extra =
            TStgFileBuilder().Chunk(6, 16, 1, {WorkoutBuilder().Bytes()}).Bytes();
        oldWithChunks.insert(oldWithChunks.end(), extra.begin() + 8, extra.end());
        seeds.Save("old-then-chunks.stg", oldWithChunks);
    });
}
