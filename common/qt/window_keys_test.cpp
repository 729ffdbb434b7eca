// The one way both programs take their keys: what a window's handler sees, and what it lets by.
#include "common/qt/window_keys.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <vector>

namespace common {

namespace {

void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
}

struct SSeen {
    QWidget* target;
    int key;
};

class WindowKeys : public ::testing::Test {
  protected:
    WindowKeys() : m_edit(new QLineEdit(&m_window)) {
        m_keys = new CWindowKeys(m_window, [this](QWidget* target, const QKeyEvent& key) {
            m_seen.push_back({target, key.key()});
            return key.key() == Qt::Key_A;  // takes "a", lets everything else by
        });
    }

    QDialog m_window;
    QLineEdit* m_edit;
    CWindowKeys* m_keys;
    std::vector<SSeen> m_seen;
};

TEST_F(WindowKeys, SeesEveryKeyOfTheWindowFirstAndTakesOnlyWhatItHandles) {
    Press(m_edit, Qt::Key_A, Qt::NoModifier, "a");
    Press(m_edit, Qt::Key_B, Qt::NoModifier, "b");
    Press(&m_window, Qt::Key_PageDown);
    // The taken key never reached the field; the other one did.
    EXPECT_EQ(m_edit->text(), "b");
    ASSERT_GE(m_seen.size(), 3u);
    EXPECT_EQ(m_seen[0].target, m_edit);
    EXPECT_EQ(m_seen[0].key, Qt::Key_A);
    EXPECT_EQ(m_seen[1].target, m_edit);
    EXPECT_EQ(m_seen.back().target, &m_window);
    EXPECT_EQ(m_seen.back().key, Qt::Key_PageDown);
}

TEST_F(WindowKeys, KeysOfOtherWindowsAndDetachedWatchesPassUntouched) {
    // A message box or a second window over this one keeps its own keys.
    QDialog other(&m_window);
    QLineEdit* otherEdit = new QLineEdit(&other);
    Press(otherEdit, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(otherEdit->text(), "a");
    EXPECT_TRUE(m_seen.empty());

    m_keys->Detach();
    m_keys->Detach();  // twice is harmless
    Press(m_edit, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(m_edit->text(), "a");
    EXPECT_TRUE(m_seen.empty());
}

TEST(WindowKeysLifetime, GoesWithItsWindow) {
    QPointer<CWindowKeys> keys;
    {
        QDialog window;
        keys = new CWindowKeys(window, [](QWidget*, const QKeyEvent&) { return true; });
    }
    EXPECT_TRUE(keys.isNull());
    // No filter of the gone window is left behind to take this key.
    QLineEdit edit;
    Press(&edit, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(edit.text(), "a");
}

TEST(IsKey, MatchesTheCombinationExactlyWithTheKeypadCopyOfAKey) {
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m) {
        return QKeyEvent(QEvent::KeyPress, k, m);
    };
    EXPECT_TRUE(IsKey(key(Qt::Key_PageUp, Qt::NoModifier), Qt::Key_PageUp));
    EXPECT_TRUE(IsKey(key(Qt::Key_PageUp, Qt::KeypadModifier), Qt::Key_PageUp));
    EXPECT_FALSE(IsKey(key(Qt::Key_PageUp, Qt::ShiftModifier), Qt::Key_PageUp));
    EXPECT_TRUE(IsKey(key(Qt::Key_F, Qt::ControlModifier), Qt::CTRL | Qt::Key_F));
    EXPECT_FALSE(
        IsKey(key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier), Qt::CTRL | Qt::Key_F));
    EXPECT_TRUE(IsKey(key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier),
                      Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    EXPECT_FALSE(IsKey(key(Qt::Key_F3, Qt::ShiftModifier), Qt::Key_F3));
}

}  // namespace

}  // namespace common
