#pragma once

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace quorvane::test {

// Why file systems cannot be mounted where nobody outside this process sees them.
struct MountsBlocked {
    enum class Kind { None, Skip, Failure };
    Kind kind = Kind::None;
    std::string reason;
};

// Moves this process into a mount namespace of its own whose mounts do not reach the rest
// of the system (once; later calls find it done). Only root may. Root is refused only
// where the kernel forbids it (no capability in a container, no namespaces built in),
// which is a skip giving the kernel's reason; any other refusal is a failure.
inline MountsBlocked enterPrivateMounts() {
    static const MountsBlocked blocked = [] {
        if (::geteuid() != 0) {
            return MountsBlocked{MountsBlocked::Kind::Skip, "mounting a file system needs root"};
        }
        const auto refused = [](const char* step) {
            const int error = errno;
            const bool forbidden = error == EPERM || error == EINVAL || error == ENOSYS;
            return MountsBlocked{
                forbidden ? MountsBlocked::Kind::Skip : MountsBlocked::Kind::Failure,
                std::string(step) + ": " + std::strerror(error)};
        };
        if (::unshare(CLONE_NEWNS) != 0) {
            return refused("a mount namespace of our own");
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return refused("keeping our mounts to ourselves");
        }
        return MountsBlocked{};
    }();
    return blocked;
}

}  // namespace quorvane::test

// Skips the test where it cannot mount, and fails it where it should have been able to.
#define QUORVANE_NEED_PRIVATE_MOUNTS()                                                           \
    do {                                                                                         \
        const ::quorvane::test::MountsBlocked blocked_ = ::quorvane::test::enterPrivateMounts(); \
        if (blocked_.kind == ::quorvane::test::MountsBlocked::Kind::Failure) {                   \
            FAIL() << blocked_.reason;                                                           \
        }                                                                                        \
        if (blocked_.kind == ::quorvane::test::MountsBlocked::Kind::Skip) {                      \
            GTEST_SKIP() << blocked_.reason;                                                     \
        }                                                                                        \
    } while (false)
