// Writes the seed files of the .stg fuzz targets into the folder given: the test fixtures and a
// few damaged variants of them.
#include "support/ByteBuilder.h"
#include "foundation/untFiles.h"
#include "foundation/untFilesIo.h"

#include <cstdio>
#include <filesystem>

namespace {

// False once any seed could not be written.
bool AllSaved = true;

void Save(const std::filesystem::path& folder, const char* name, const std::vector<std::uint8_t>& bytes) {
    AllSaved = SaveFileBytes(QString::fromStdString((folder / name).string()), bytes) && AllSaved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_stg_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const TStgFileBuilder sample = BuildSampleStgFile();
    Save(folder, "sample.stg", sample.Bytes());
    Save(folder, "old.stg", BuildOldStgFile());
    Save(folder, "start-only.stg", TStgFileBuilder().Bytes());

    TTraining training;
    if (DecodeStgFile(sample.Bytes().data(), sample.Bytes().size(), training))
        Save(folder, "written.stg", EncodeStgFile(training));

    std::vector<std::uint8_t> cut(sample.Bytes().begin(), sample.Bytes().begin() + 3000);
    Save(folder, "cut.stg", cut);

    TStgFileBuilder odd;
    odd.Chunk(9, 4, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}})
        .Chunk(3, 80, 1, {StrokeBuilder().Int("Number", 1).F32("Time", 1.0f).Bytes()})
        .Chunk(4, 200, 1, {std::vector<std::uint8_t>(200, 7)})
        .Chunk(1, 10, 2, {std::vector<std::uint8_t>(10, 1), std::vector<std::uint8_t>(10, 2)})
        .Chunk(7, 2, 2, {{1, 2}, {3, 4}})
        .Chunk(5, 12, 1, {std::vector<std::uint8_t>(12, 9)});
    Save(folder, "odd-sizes.stg", odd.Bytes());

    std::vector<std::uint8_t> oldWithChunks = BuildOldStgFile();
    const std::vector<std::uint8_t> extra = TStgFileBuilder().Chunk(6, 16, 1, {WorkoutBuilder().Bytes()}).Bytes();
    oldWithChunks.insert(oldWithChunks.end(), extra.begin() + 8, extra.end());
    Save(folder, "old-then-chunks.stg", oldWithChunks);
    return AllSaved ? 0 : 1;
}
