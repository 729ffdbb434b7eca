// The end of a Windows session as the window messages tell it: asked first, then told.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/termination_signals.h"

namespace {

MSG Message(UINT id, WPARAM wParam) {
    MSG msg{};
    msg.message = id;
    msg.wParam = wParam;
    msg.lParam = ENDSESSION_LOGOFF;
    return msg;
}

TEST(TerminationSignalsWin32, TheSessionsEndIsOneTerminationRequestAndTheQuestionIsYes) {
    ASSERT_GE(platform::InstallTerminationSignalPipe(), 0);
    platform::TakeTerminationSignal();
    long long result = -1;

    MSG other = Message(WM_PAINT, 0);
    EXPECT_EQ(platform::ReadSessionEndMessage(&other, &result), platform::ESessionEnd::kNone);
    EXPECT_EQ(result, -1);

    // May the session end? Yes, and nothing is requested yet.
    MSG query = Message(WM_QUERYENDSESSION, 0);
    EXPECT_EQ(platform::ReadSessionEndMessage(&query, &result), platform::ESessionEnd::kAnswered);
    EXPECT_EQ(result, TRUE);
    // Another program refused: the session goes on.
    MSG cancelled = Message(WM_ENDSESSION, FALSE);
    EXPECT_EQ(platform::ReadSessionEndMessage(&cancelled, &result),
              platform::ESessionEnd::kAnswered);
    EXPECT_FALSE(platform::TerminationRequested());
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);

    // It ends: a request as SIGTERM makes one, once however many windows are told.
    MSG ends = Message(WM_ENDSESSION, TRUE);
    EXPECT_EQ(platform::ReadSessionEndMessage(&ends, &result), platform::ESessionEnd::kEnds);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(platform::TerminationRequested());
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigTerm());
    EXPECT_EQ(platform::ReadSessionEndMessage(&ends, &result), platform::ESessionEnd::kEnds);
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);

    platform::RestoreDefaultTerminationSignals();
    EXPECT_FALSE(platform::TerminationRequested());
}

}  // namespace
