// The frame of a seed maker: `PROGRAM FOLDER` writes named seed files into FOLDER and exits 1
// when any of them could not be written.
#pragma once

#include "foundation/files/FileIo.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

class TSeedFolder {
public:
    explicit TSeedFolder(std::filesystem::path folder) : FFolder(std::move(folder)) {}
    void Save(const char* name, const std::vector<std::uint8_t>& bytes) {
        FAllSaved = SaveFileBytes(QString::fromStdString((FFolder / name).string()), bytes) && FAllSaved;
    }
    bool AllSaved() const { return FAllSaved; }

private:
    std::filesystem::path FFolder;
    bool FAllSaved = true;
};

inline int RunSeedMaker(int argc, char** argv, const std::function<void(TSeedFolder&)>& make) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    TSeedFolder seeds(argv[1]);
    make(seeds);
    return seeds.AllSaved() ? 0 : 1;
}
