// The least any streaming reader must spend on a file: read it in 1 MiB
// blocks and find every '<' with memchr (GPX, KML), or walk every record
// length (OV2), never holding more than a block. read_floor FILE
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: read_floor FILE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const int fd = open(argv[1], O_RDONLY);
    if (fd < 0)
        return 1;
    const size_t len = std::strlen(argv[1]);
    const bool ov2 = len > 4 && std::strcmp(argv[1] + len - 4, ".ov2") == 0;
    std::vector<char> block(1 << 20);
    long marks = 0;
    uint64_t offset = 0, nextRecord = 0;  // OV2: where the next record starts in the file
    unsigned char head[5];
    int headHave = 0;
    for (;;) {
        const ssize_t n = read(fd, block.data(), block.size());
        if (n <= 0)
            break;
        const char *p = block.data(), *end = p + n;
        if (!ov2) {
            for (; (p = static_cast<const char *>(std::memchr(p, '<', static_cast<size_t>(end - p)))); ++p)
                ++marks;
        } else {
            // Each record's type and length, which may straddle two blocks.
            while (offset + static_cast<uint64_t>(n) > nextRecord + static_cast<uint64_t>(headHave)) {
                const uint64_t at = nextRecord + static_cast<uint64_t>(headHave) - offset;
                head[headHave++] = static_cast<unsigned char>(block[at]);
                if (headHave < 5)
                    continue;
                uint32_t length;
                std::memcpy(&length, head + 1, 4);
                if (head[0] == 1)
                    length = 21;
                if (length < 5) {
                    nextRecord = UINT64_MAX / 2;
                    break;
                }
                ++marks;
                nextRecord += length;
                headHave = 0;
            }
        }
        offset += static_cast<uint64_t>(n);
    }
    close(fd);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f ms %ld\n", ms, marks);
    return 0;
}
