// A stand-in for the program in the update tests. Its file carries a tag of 8 bytes at the end
// (appended by the test); it writes that tag to the descriptor named by KV_FAKE_REPORT_FD, so a
// test learns which file ran, and ends.
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main() {
    const char* fd = std::getenv("KV_FAKE_REPORT_FD");
    if (!fd)
        return 0;
    char tag[8];
    const int self = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (self < 0 || ::lseek(self, -8, SEEK_END) < 0 || ::read(self, tag, sizeof tag) != sizeof tag)
        return 1;
    return ::write(std::atoi(fd), tag, sizeof tag) == sizeof tag ? 0 : 1;
}
