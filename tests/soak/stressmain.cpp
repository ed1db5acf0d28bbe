// The long-running test programs always run on the offscreen platform, whatever the caller's
// environment says, with the Windows folder in a fresh temporary folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/messages.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir stateHome;
    qputenv("XDG_STATE_HOME", stateHome.path().toLocal8Bit());
    QApplication application(argc, argv);
    // A message box would wait for a click that never comes.
    kv::messages::setHook(
        [](kv::messages::Kind, const std::string&) { return kv::messages::Answer::Ok; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
