#include "platform/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

std::variant<std::string, SmallFileProblem> readSmallFile(const std::filesystem::path& path, std::size_t limit) {
    using Kind = SmallFileProblem::Kind;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return SmallFileProblem{Kind::unreadable, errno};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) return SmallFileProblem{Kind::unreadable, errno};
    if (S_ISDIR(status.st_mode)) return SmallFileProblem{Kind::directory};
    if (!S_ISREG(status.st_mode)) return SmallFileProblem{Kind::notRegular};
    if (status.st_size > static_cast<off_t>(limit)) return SmallFileProblem{Kind::tooLarge};
    // The size may change while it is read: one byte more than the limit is enough to tell.
    std::string text(limit + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
        if (got < 0) {
            if (errno == EINTR) continue;
            return SmallFileProblem{Kind::unreadable, errno};
        }
        if (got == 0) break;
        length += static_cast<std::size_t>(got);
    }
    if (length > limit) return SmallFileProblem{Kind::tooLarge};
    text.resize(length);
    return text;
}

}  // namespace orvane
