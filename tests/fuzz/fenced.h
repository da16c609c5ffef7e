// Memory fenced by guard pages: any read or write past either end of a block
// faults at once, whether or not the code doing it is instrumented.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace fence {

inline std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

inline std::size_t round_to_pages(std::size_t bytes) {
    const std::size_t page = page_size();
    return (bytes + page - 1) / page * page;
}

// A readable, writable block of `bytes` (rounded up to whole pages) with an
// inaccessible page right before and right after it. Pages never written read
// as zero and cost no memory, so the block may be far larger than RAM.
inline unsigned char* fenced_block(std::size_t bytes) {
    const std::size_t page = page_size();
    const std::size_t body = round_to_pages(bytes);
    void* p = mmap(nullptr, body + 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1,
                   0);
    if (p == MAP_FAILED) {
        std::perror("fenced_block: mmap");
        std::abort();
    }
    unsigned char* base = static_cast<unsigned char*>(p);
    if (mprotect(base, page, PROT_NONE) != 0 || mprotect(base + page + body, page, PROT_NONE) != 0) {
        std::perror("fenced_block: mprotect");
        std::abort();
    }
    return base + page;
}

inline void make_read_only(unsigned char* block, std::size_t bytes) {
    if (mprotect(block, round_to_pages(bytes), PROT_READ) != 0) {
        std::perror("make_read_only: mprotect");
        std::abort();
    }
}

}  // namespace fence
