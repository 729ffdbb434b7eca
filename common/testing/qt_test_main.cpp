// GoogleTest main for the Qt test programs of both programs: creates the QApplication
// (offscreen unless QT_QPA_PLATFORM says otherwise) before the tests run, so that tests can
// build real widgets and post and deliver events.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
