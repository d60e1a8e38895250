// The environment settings the program makes for itself before QApplication exists.
#include "app/run_environment.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

std::string env(const char *name) {
    return qgetenv(name).toStdString();
}

class RunEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : kNames) {
            saved_.push_back(qgetenv(name));
            wasSet_.push_back(qEnvironmentVariableIsSet(name));
            qunsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (wasSet_[i])
                qputenv(kNames[i], saved_[i]);
            else
                qunsetenv(kNames[i]);
        }
    }
    static constexpr const char *kNames[] = {"QT_XCB_NO_MITSHM", "QT_NO_GLIB"};

private:
    std::vector<QByteArray> saved_;
    std::vector<bool> wasSet_;
};

TEST_F(RunEnvironmentTest, SetsBothWhenUnset) {
    setRunEnvironment();
    EXPECT_EQ(env("QT_XCB_NO_MITSHM"), "1");
    EXPECT_EQ(env("QT_NO_GLIB"), "1");
}

TEST_F(RunEnvironmentTest, LeavesTheUsersValues) {
    qputenv("QT_XCB_NO_MITSHM", QByteArray("0"));
    qputenv("QT_NO_GLIB", QByteArray(""));
    setRunEnvironment();
    EXPECT_EQ(env("QT_XCB_NO_MITSHM"), "0");
    EXPECT_TRUE(qEnvironmentVariableIsSet("QT_NO_GLIB"));
    EXPECT_EQ(env("QT_NO_GLIB"), "");
}

TEST_F(RunEnvironmentTest, SecondCallChangesNothing) {
    setRunEnvironment();
    qputenv("QT_NO_GLIB", QByteArray("user"));
    setRunEnvironment();
    EXPECT_EQ(env("QT_NO_GLIB"), "user");
    EXPECT_EQ(env("QT_XCB_NO_MITSHM"), "1");
}

} // namespace
