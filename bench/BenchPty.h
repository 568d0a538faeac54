// A raw pseudo terminal for the serial benchmarks: the program writes to the master side, the
// port under test opens the slave by its name.
#pragma once

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

struct TBenchPty {
    int Master = -1;
    int Slave = -1;
    std::string Name;

    bool Open() {
        char name[256] = {};
        if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            return false;
        Name = name;
        termios t{};
        ::tcgetattr(Slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(Slave, TCSANOW, &t);
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
        return true;
    }
    ~TBenchPty() {
        if (Master >= 0) ::close(Master);
        if (Slave >= 0) ::close(Slave);
    }
};

// The application object the port's queued calls need (the benchmark main makes none) and an
// open pseudo terminal; false (and the benchmark skipped) without one.
inline bool StartPtyBench(benchmark::State& state, TBenchPty& pty) {
    static int argc = 1;
    static char name0[] = "kv_bench";
    static char* argv[] = {name0, nullptr};
    static QCoreApplication app(argc, argv);
    if (pty.Open())
        return true;
    state.SkipWithError("no pseudo terminal");
    return false;
}
