#include "PtyPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

bool OpenRawPty(int& master, int& slave, std::string& slavePath) {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed: " << errno;
        master = slave = -1;
        return false;
    }
    // Raw from the start: no echo of what the test writes before the port opens.
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    slavePath = name;
    return true;
}

TPtyPeer::TPtyPeer() {
    std::string path;
    if (OpenRawPty(FMaster, FSlave, path))
        FSlavePath = QString::fromLocal8Bit(path.c_str());
}

TPtyPeer::~TPtyPeer() {
    CloseMaster();
    if (FSlave >= 0)
        ::close(FSlave);
}

termios TPtyPeer::SlaveAttributes() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(FSlave, &t), 0);
    return t;
}

void TPtyPeer::Write(const std::string& bytes) {
    std::size_t done = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < bytes.size() && clock.elapsed() < 3000) {
        const ssize_t n = ::write(FMaster, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            FWritten += std::uint64_t(n);
        }
        else if (n < 0 && (errno == EINTR || errno == EAGAIN))
            WaitUntil([] { return false; }, 1);  // the port is still draining the line
        else
            break;
    }
    ASSERT_EQ(done, bytes.size());
}

std::string TPtyPeer::ReadAvailable() {
    std::string result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, std::size_t(n));
    }
    return result;
}

std::string TPtyPeer::Read(std::size_t count, int timeoutMs) {
    std::string result;
    WaitUntil(
        [&] {
            result += ReadAvailable();
            return result.size() >= count;
        },
        timeoutMs);
    return result;
}

void TPtyPeer::CloseMaster() {
    if (FMaster >= 0)
        ::close(FMaster);
    FMaster = -1;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;  // keeps the wait waking up for conditions that no event announces
    tick.start(1);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void DrainEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
