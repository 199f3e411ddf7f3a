// Reading an image file for TextureImage. The image loader decodes whatever size a header
// claims, so the header is read here first (by a private copy of the header reader, which knows
// every format the loader does except DDS, read by hand below) and an image is refused before
// any decoding when the GL could not take it as a texture or it would decode to an absurd size.
// The file is opened without blocking and checked to be a regular file through the same
// descriptor, so a pipe renamed over an image between two checks cannot stall the frame.
#include "commands/texture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb_image.h>
#pragma GCC diagnostic pop

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

std::uint32_t littleEndian32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

// Width and height from the header, false when the format is not known.
bool imageSize(const std::vector<unsigned char>& bytes, std::int64_t& width,
               std::int64_t& height) {
    if (bytes.size() >= 128 && std::memcmp(bytes.data(), "DDS ", 4) == 0) {
        height = littleEndian32(&bytes[12]);
        width = littleEndian32(&bytes[16]);
        return true;
    }
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
    std::int64_t width = 0, height = 0;
    if (!readRegularFile(name, bytes) || !imageSize(bytes, width, height)) return false;
    return width >= 1 && height >= 1 && width <= maxSide && height <= maxSide &&
           width * height * 4 <= largestImage;
}
