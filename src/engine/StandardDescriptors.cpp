#include "StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tavisk {

bool ReopenClosedStandardDescriptors() {
    bool allOpen = true;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number: the lower ones are open by now.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened == fd) continue;
        if (opened >= 0) close(opened);
        allOpen = false;
    }
    return allOpen;
}

}  // namespace tavisk
