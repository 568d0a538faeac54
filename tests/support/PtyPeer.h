// The far end of a serial line in tests: a pseudo terminal whose slave path a port opens,
// while the test writes and reads on the master side.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <termios.h>

class TPtyPeer {
public:
    TPtyPeer();  // fails the current test when no pseudo terminal can be had
    ~TPtyPeer();
    TPtyPeer(const TPtyPeer&) = delete;
    TPtyPeer& operator=(const TPtyPeer&) = delete;

    bool IsOpen() const { return FMaster >= 0; }
    const QString& SlavePath() const { return FSlavePath; }
    // The line settings the port left on the slave side.
    termios SlaveAttributes() const;

    void Write(const std::string& bytes);
    std::uint64_t Written() const { return FWritten; }  // bytes written so far
    std::string ReadAvailable();
    // Reads what the port wrote until count bytes are in, pumping events; less on time-out.
    std::string Read(std::size_t count, int timeoutMs = 3000);
    void CloseMaster();

private:
    int FMaster = -1;
    std::uint64_t FWritten = 0;
    int FSlave = -1;  // kept open so the line settings survive between opens of the port
    QString FSlavePath;
};

// A pseudo terminal in raw mode, the master side non-blocking; fails the current test when
// none can be had.
bool OpenRawPty(int& master, int& slave, std::string& slavePath);

// Runs the event loop until condition holds or timeoutMs pass; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
// Handles the events queued so far.
void DrainEvents();
