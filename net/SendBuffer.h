// One chunk of a socket's send queue: a block of bytes with a write count (bytes stored) and a
// read count (bytes already sent).
#pragma once

#include <utility>
#include <vector>

class TBuffer {
public:
    static constexpr int DefaultSize = 1514;

    explicit TBuffer(int size);

    int Size() const { return int(FData.size()); }
    void SetSize(int size);  // 0 or less: DefaultSize; keeps the stored bytes that still fit
    int WriteCount() const { return FWrCount; }
    int ReadCount() const { return FRdCount; }

    // Stores min(count, free room) bytes after the stored ones; the number taken.
    int Write(const char* data, int count);
    // The unsent bytes: {nullptr, 0} when none.
    std::pair<const char*, int> Peek() const;
    // Marks min(count, unsent) bytes as sent; both counts go back to 0 once all are sent.
    int Remove(int count);

private:
    std::vector<char> FData;
    int FWrCount = 0;
    int FRdCount = 0;
};
