#include "platform/posix/unique_fd.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <string>

#include "base/platform_error.h"

namespace qm::posix {

PipePair PipePair::Create() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw PlatformError(std::string("pipe: ") + ::strerror(errno), errno);
    }
    return PipePair{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

}  // namespace qm::posix
