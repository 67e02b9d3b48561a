#include "platform/posix/posix_process_services.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix/program_folder.h"

namespace qm::posix {

PosixProcessServices::PosixProcessServices(std::string lockPath, std::function<void()> endProcess)
    : lockPath_(std::move(lockPath)), endProcess_(std::move(endProcess)) {
    if (lockPath_.empty()) {
        std::string why;
        const std::string folder = UserRuntimeFolder(why);
        if (!folder.empty()) {
            lockPath_ = folder + "/quillmere.lock";
        }
    }
}

PosixProcessServices::PosixProcessServices(SingleInstance& instance, std::function<void()> endProcess)
    : instance_(&instance), endProcess_(std::move(endProcess)) {}

bool PosixProcessServices::PrevInstance() {
    if (instance_) {
        return instance_->Claim() == SingleInstance::Role::Second;
    }
    if (lock_.Valid() || lockPath_.empty()) {
        return false;  // this copy holds the lock already, or there is no folder to hold one in
    }
    UniqueFd fd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid()) {
        return false;  // without a lock file nothing can be told; the copy runs
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return true;
    }
    lock_ = std::move(fd);
    return false;
}

void PosixProcessServices::CreateMutex(const std::string& name) {
    mutexName_ = name;
}

void PosixProcessServices::InitCommonControls(unsigned /*structureSize*/, unsigned /*classFlags*/) {}

std::string PosixProcessServices::AppPath() {
    // Where the program's own files lie, which for an installed program is not its own folder.
    return ProgramFilesFolder(ProgramFolder());
}

void PosixProcessServices::EndProcess() {
    if (endProcess_) {
        endProcess_();
    }
}

}  // namespace qm::posix
