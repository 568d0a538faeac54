// A stand-in for the program in the update tests. Its file carries a tag of 8 bytes at the end
// (appended by the test); it writes that tag to the descriptor named by KV_FAKE_REPORT_FD, so a
// test learns which file ran, says that it started as the program does (KVWT_STARTED_FD), and
// ends. A copy tagged "DIESTART" ends before it says so, as a program that cannot start.
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int main() {
    char tag[8] = {};
    const int self = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (self < 0 || ::lseek(self, -8, SEEK_END) < 0 || ::read(self, tag, sizeof tag) != sizeof tag)
        return 1;
    if (const char* fd = std::getenv("KV_FAKE_REPORT_FD"))
        if (::write(std::atoi(fd), tag, sizeof tag) != sizeof tag)
            return 1;
    if (std::memcmp(tag, "DIESTART", sizeof tag) == 0)
        return 1;
    if (const char* fd = std::getenv("KVWT_STARTED_FD"))
        (void)!::write(std::atoi(fd), "S", 1);
    return 0;
}
