// Keeps the screen saver and the display's power saving away while the program runs, through
// the desktop's ScreenSaver service on the session bus; nothing happens where there is none.
#pragma once

#include <QString>
#include <cstdint>

class TScreenSaverBlock {
public:
    TScreenSaverBlock() = default;
    ~TScreenSaverBlock();
    TScreenSaverBlock(const TScreenSaverBlock&) = delete;
    TScreenSaverBlock& operator=(const TScreenSaverBlock&) = delete;

    // True when the service took the request.
    bool Inhibit(const QString& application, const QString& reason);
    void Release();
    bool Active() const { return FActive; }

private:
    bool FActive = false;
    std::uint32_t FCookie = 0;
};
