#include "platform/termination_signals.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace {

bool Readable(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return poll(&pfd, 1, 0) == 1;
}

TEST(TerminationSignals, SignalsBecomeReadableEventsInsteadOfEndingTheProcess) {
    const int fd = platform::InstallTerminationSignalPipe();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::InstallTerminationSignalPipe(), fd);
    EXPECT_FALSE(Readable(fd));
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);

    ASSERT_TRUE(platform::RaiseSignal(platform::SigTerm()));
    EXPECT_TRUE(Readable(fd));
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigTerm());
    EXPECT_FALSE(Readable(fd));

    // Several signals before the watcher runs: one wake-up, the last one reported.
    ASSERT_TRUE(platform::RaiseSignal(platform::SigInt()));
    ASSERT_TRUE(platform::RaiseSignal(platform::SigHup()));
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigHup());
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);
}

}  // namespace
