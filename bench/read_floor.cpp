// The least any reader must spend on a file: read it into memory and find
// every '<' (GPX) or walk every record length (OV2). read_floor FILE
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0)
        return 1;
    std::vector<char> bytes(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    long marks = 0;
    const size_t len = std::strlen(argv[1]);
    if (len > 4 && std::strcmp(argv[1] + len - 4, ".ov2") == 0) {
        for (size_t pos = 0; pos + 5 <= got;) {
            const unsigned char type = static_cast<unsigned char>(bytes[pos]);
            uint32_t length;
            std::memcpy(&length, bytes.data() + pos + 1, 4);
            if (type == 1)
                length = 21;
            if (length < 5)
                break;
            ++marks;
            pos += length;
        }
    } else {
        for (const char *p = bytes.data(), *end = p + got; (p = static_cast<const char *>(std::memchr(p, '<', static_cast<size_t>(end - p)))); ++p)
            ++marks;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f ms %ld\n", ms, marks);
    return 0;
}
