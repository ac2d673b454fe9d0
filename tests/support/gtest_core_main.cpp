// Test entry for logic tests: a QCoreApplication exists so that Qt timers,
// queued calls and QStandardPaths behave as they do in the programs.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
