// Reading an image file for TextureImage. The image loader decodes whatever size a header
// claims, so the header is read here first, by the header reader of the decoder SOIL uses (the
// system's stb_image; see CMakeLists.txt), and an image is refused before any decoding when the
// GL could not take it as a texture or it would decode to an absurd size.
// The loader also loops for ever on Radiance run-length data that stops short or holds a run of
// zero, and writes past its tables on a JPEG Huffman table of more than 256 codes, so those
// parts are walked here first, exactly as the loader will read them, and such files refused.
// The file is opened without blocking and checked to be a regular file through the same
// descriptor, so a pipe renamed over an image between two checks cannot stall the frame.
#include "commands/texture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <stb_image.h>

namespace {
// No image file or decoded picture may be bigger: 8192 x 8192 at four bytes a pixel.
constexpr std::int64_t largestImage = std::int64_t(256) << 20;

// Closes the descriptor on every way out.
struct OpenFile {
    int fd;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

bool readRegularFile(const std::string& name, std::vector<unsigned char>& bytes) {
    OpenFile file{::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    if (status.st_size <= 0 || status.st_size > largestImage) return false;
    bytes.resize(std::size_t(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0) break;   // shrunk while being read: what arrived is the file
        done += std::size_t(got);
    }
    bytes.resize(done);
    return done > 0;
}

// The byte at i, or 0 past the end, as the loader reads a short file.
unsigned byteAt(const std::vector<unsigned char>& bytes, std::size_t i) {
    return i < bytes.size() ? bytes[i] : 0;
}

// One DHT segment's tables, from just after its length field: stops where the loader would
// report an error, false only where it would overrun a table.
bool huffmanTablesFit(const std::vector<unsigned char>& bytes, std::size_t at, long left) {
    while (left > 0) {
        unsigned kind = byteAt(bytes, at);
        if (kind >> 4 > 1 || (kind & 15) > 3) return true;
        unsigned codes = 0;
        for (int i = 1; i <= 16; ++i) codes += byteAt(bytes, at + i);
        if (codes > 256) return false;
        at += 17 + codes;
        left -= 17 + long(codes);
    }
    return true;
}

// Every marker segment of a JPEG, wherever it stands (tables may come between scans); the bytes
// between segments are scan data, where 0xFF is followed by 0 or a restart marker.
bool jpegTablesFit(const std::vector<unsigned char>& bytes) {
    std::size_t i = 2;
    while (i + 1 < bytes.size()) {
        unsigned marker = bytes[i + 1];
        if (bytes[i] != 0xFF || marker == 0xFF) {
            ++i;
            continue;
        }
        i += 2;
        bool standsAlone = marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
        if (standsAlone) continue;
        long length = long(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
        if (marker == 0xC4 && !huffmanTablesFit(bytes, i + 2, length - 2)) return false;
        i += std::size_t(std::max(length, 2L));
    }
    return true;
}

// The run-length scanlines of a Radiance picture of this width and height: false when a run
// or copy count is 0 (or the data ends, where every byte reads as 0).
bool radianceRunsEnd(const std::vector<unsigned char>& bytes, std::int64_t width,
                     std::int64_t height) {
    if (width < 8 || width >= 32768) return true;   // stored flat: read to a fixed length
    const char* text = reinterpret_cast<const char*>(bytes.data());
    const char* blank = static_cast<const char*>(memmem(text, bytes.size(), "\n\n", 2));
    if (!blank) return true;   // no header end: the loader refuses it
    const char* size = blank + 2;
    const char* line = static_cast<const char*>(
        std::memchr(size, '\n', bytes.size() - std::size_t(size - text)));
    if (!line) return true;
    std::size_t at = std::size_t(line + 1 - text);
    for (std::int64_t row = 0; row < height; ++row) {
        if (byteAt(bytes, at) != 2 || byteAt(bytes, at + 1) != 2 || (byteAt(bytes, at + 2) & 0x80))
            return true;   // not run-length encoded: the rest is read flat
        if ((byteAt(bytes, at + 2) << 8 | byteAt(bytes, at + 3)) != width) return true;
        at += 4;
        for (int component = 0; component < 4; ++component) {
            for (std::int64_t left = width; left > 0;) {
                unsigned count = byteAt(bytes, at++);
                bool run = count > 128;
                if (run) count -= 128;
                if (count == 0) return false;
                if (count > left) return true;   // the loader reports it
                at += run ? 1 : count;
                left -= count;
            }
        }
    }
    return true;
}

// Width and height from the header, false when the format is not known.
bool imageSize(const std::vector<unsigned char>& bytes, std::int64_t& width,
               std::int64_t& height) {
    int x = 0, y = 0, channels = 0;
    if (bytes.size() > INT32_MAX ||
        !stbi_info_from_memory(bytes.data(), int(bytes.size()), &x, &y, &channels))
        return false;
    width = x;
    height = y;
    return true;
}
}  // namespace

bool readTextureFile(const std::string& name, int maxSide, std::vector<unsigned char>& bytes) {
    if (!readRegularFile(name, bytes)) return false;
    const bool jpeg = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    const bool radiance = bytes.size() >= 2 && bytes[0] == '#' && bytes[1] == '?';
    if (jpeg && !jpegTablesFit(bytes)) return false;   // the header reader reads them too
    std::int64_t width = 0, height = 0;
    if (!imageSize(bytes, width, height)) return false;
    if (width < 1 || height < 1 || width > maxSide || height > maxSide ||
        width * height * 4 > largestImage)
        return false;
    return !radiance || radianceRunsEnd(bytes, width, height);
}
