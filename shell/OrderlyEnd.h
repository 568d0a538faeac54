// Ends the program in order when nobody is there to answer: SIGTERM, SIGINT and the desktop's
// logout. The signal handler only writes to a pipe; the main thread reads it through a socket
// notifier and runs the handler, as for any other event.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

class TOrderlyEnd : public QObject {
public:
    // onEnd gets the reason ("SIGTERM", "SIGINT", "logout"); it runs on the main thread, once.
    explicit TOrderlyEnd(std::function<void(const QString& reason)> onEnd, QObject* parent = nullptr);
    ~TOrderlyEnd() override;  // the signals get their default handling back
    TOrderlyEnd(const TOrderlyEnd&) = delete;
    TOrderlyEnd& operator=(const TOrderlyEnd&) = delete;

    // The desktop's session manager asks for the data to be kept (logout, shutdown).
    void SessionEnding();

private:
    void PipeReadable();
    void End(const QString& reason);

    std::function<void(const QString&)> FOnEnd;
    QSocketNotifier* FNotifier = nullptr;
    bool FEnded = false;
};
