// A replay program that does what a hostile one would, as its tape says in a
// comment line: "# open" writes a file, "# fork" starts a process, "# alloc"
// takes a gigabyte, "# spin" never ends. The sandbox must stop each.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

int main() {
    const std::string tape(std::istreambuf_iterator<char>(std::cin), {});
    if (tape.find("# open") != std::string::npos) return open("/tmp/burrow-misbehave", O_WRONLY | O_CREAT, 0600) < 0;
    if (tape.find("# fork") != std::string::npos) return fork() < 0;
    if (tape.find("# alloc") != std::string::npos) {
        volatile std::size_t size = 1u << 30;
        char* big = new char[size];
        std::memset(big, 1, size);
        return big[size - 1] - 1;
    }
    for (volatile unsigned long i = 0;; ++i) {
    }
}
