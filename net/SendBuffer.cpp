#include "net/SendBuffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size) {
    SetSize(size);
}

void TBuffer::SetSize(int size) {
    if (size <= 0)
        size = DefaultSize;
    if (size == Size())
        return;
    FData.resize(std::size_t(size));
    FWrCount = std::min(FWrCount, size);
    FRdCount = std::min(FRdCount, FWrCount);
}

int TBuffer::Write(const char* data, int count) {
    int taken = std::clamp(count, 0, Size() - FWrCount);
    if (taken > 0)
        std::memcpy(FData.data() + FWrCount, data, std::size_t(taken));
    FWrCount += taken;
    return taken;
}

std::pair<const char*, int> TBuffer::Peek() const {
    if (FWrCount <= FRdCount)
        return {nullptr, 0};
    return {FData.data() + FRdCount, FWrCount - FRdCount};
}

int TBuffer::Remove(int count) {
    int removed = std::clamp(count, 0, FWrCount - FRdCount);
    FRdCount += removed;
    if (FRdCount >= FWrCount)
        FRdCount = FWrCount = 0;
    return removed;
}
