// The prompts' filter translation and the recording fake both programs' tests use.
#include "common/qt/user_prompts.h"

#include <gtest/gtest.h>

#include "common/testing/fake_user_prompts.h"

namespace common {

namespace {

TEST(UserPrompts, PipeFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilter("Packages (*.tar)|*.tar|"), "Packages (*.tar)");
    EXPECT_EQ(QtNameFilter("Packages|*.tar|"), "Packages (*.tar)");
    EXPECT_EQ(QtNameFilter("Logs (*.tar *.tgz)|*.tar;*.tgz|"), "Logs (*.tar *.tgz)");
    EXPECT_EQ(QtNameFilter("Tar|*.tar|All|*.*|"), "Tar (*.tar);;All (*.*)");
    EXPECT_EQ(QtNameFilter("Logs|*.tar;*.tgz||"), "Logs (*.tar *.tgz)");
    EXPECT_EQ(QtNameFilter(""), "");
}

TEST(UserPrompts, FakeRecordsAndRestoresThePreviousPrompts) {
    CUserPrompts* before = &UserPrompts();
    {
        test::CFakeUserPrompts outer;
        EXPECT_EQ(&UserPrompts(), &outer);
        {
            test::CFakeUserPrompts inner;
            inner.m_openAnswers << "/tmp/a.tar";
            ShowMessage("hello");
            EXPECT_EQ(ChooseOpenFile("F|*.tar|"), "/tmp/a.tar");
            EXPECT_EQ(ChooseOpenFile("F|*.tar|"), "");
            EXPECT_EQ(inner.m_messages, QStringList{"hello"});
            EXPECT_EQ(inner.m_filters.size(), 2);
        }
        EXPECT_EQ(&UserPrompts(), &outer);
        EXPECT_TRUE(outer.m_messages.isEmpty());
    }
    EXPECT_EQ(&UserPrompts(), before);
}

TEST(UserPrompts, OwnedMessagesReachTheFakeInOrderWithThePlainOnes) {
    test::CFakeUserPrompts prompts;
    ShowMessage("first");
    ShowOwnedMessage(nullptr, "second");
    EXPECT_EQ(prompts.m_messages, (QStringList{"first", "second"}));
    EXPECT_FALSE(AskYesNo("sure?"));  // No once the answers run out
    EXPECT_EQ(prompts.m_questions, QStringList{"sure?"});
}

}  // namespace

}  // namespace common
