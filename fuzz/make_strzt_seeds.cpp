// Writes the seed files of the stroke, user and ZtIV fuzz targets into the folder given.
#include "SeedFolder.h"
#include "support/StrZtBuilder.h"

int main(int argc, char** argv) {
    return RunSeedMaker(argc, argv, [](TSeedFolder& seeds) {
        const std::array<std::int32_t, 26> ini{75, 1, 3,  1,  0,  4,  6,  1800, 300, 5000, 900, 150, 10,
                                               12, 3, 60, 61, 62, 63, 64, 30,   31,  32,   33,  34,  1};
        std::array<std::uint8_t, 80> force{};
        for (std::size_t k = 0; k < 40; ++k)
            force[k] = static_cast<std::uint8_t>(k < 20 ? 10 * k : 250 - 10 * (k - 20));
        force[10] = 0; // a saturation gap
        seeds.Save("stroke.str", StrFileBytes({1, 250, 240, 28, 260, 95, 150, 480}, force, "Eve", ini));
        seeds.Save("user.ini", UserRecordBytes("Rower", ini));

        TZtStart start;
        start.Versions = {3, 2, 1, 9};
        start.User = {4, 10, 82, 0};
        start.Workout[0] = 20;
        start.Workout[1] = 4;
        start.Workout[24] = 2;
        start.Workout[26] = 30;
        seeds.Save("user.zti", start.Bytes());

        TZtStrokeBlock stroke;
        stroke.Number = 1;
        stroke.Distance = 1500;
        stroke.Time = 2500;
        stroke.Power = 2455;
        stroke.TimeLeft = 605;
        stroke.IntervalPower = 250;
        std::vector<std::uint8_t> curve(76, 0);
        for (std::size_t k = 0; k < 30; ++k)
            curve[k] = static_cast<std::uint8_t>(k < 15 ? 12 * k : 12 * (30 - k));
        start.Kind = 1;
        start.K = 1;
        start.N = 1;
        seeds.Save("stroke.ztr", JoinBytes({start.Bytes(), stroke.Bytes(), curve}));

        start.Kind = 2;
        start.K = 2;
        start.N = 3;
        start.M = 3;
        TZtStrokeBlock second = stroke;
        second.Number = 2;
        second.Distance = 3000;
        TZtStrokeBlock third = stroke;
        third.Number = 3;
        third.Distance = 4600;
        seeds.Save("session.zts",
                   JoinBytes({start.Bytes(), stroke.Bytes(), curve, second.Bytes(), curve, stroke.Bytes(),
                              second.Bytes(), third.Bytes(), ZtIntervalBytes(600, 2400, 250),
                              ZtIntervalBytes(1200, 2100, 480), ZtSessionBytes(4600, 123456, 7500, 2300)}));
        start.K = start.N = start.M = 0;
        seeds.Save("empty.zts", JoinBytes({start.Bytes(), ZtSessionBytes(0, 0, 0, 0)}));
    });
}
