// The environment settings the program makes for itself while QApplication is built.
#include "app/run_environment.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>

namespace {

constexpr std::array<const char *, 2> kNames = {"QT_XCB_NO_MITSHM", "QT_NO_GLIB"};

std::optional<std::string> env(const char *name) {
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name).toStdString();
}

void setEnv(const char *name, const std::optional<std::string> &value) {
    if (value)
        qputenv(name, QByteArray::fromStdString(*value));
    else
        qunsetenv(name);
}

struct Case {
    const char *name;
    std::array<std::optional<std::string>, 2> before;
    std::array<std::optional<std::string>, 2> during;
    friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

class RunEnvironmentTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < kNames.size(); ++i)
            saved_[i] = env(kNames[i]);
    }
    void TearDown() override {
        for (std::size_t i = 0; i < kNames.size(); ++i)
            setEnv(kNames[i], saved_[i]);
    }

private:
    std::array<std::optional<std::string>, 2> saved_;
};

TEST_P(RunEnvironmentTest, SetsOnlyWhatTheUserLeftUnsetAndPutsItBack) {
    const Case &c = GetParam();
    for (std::size_t i = 0; i < kNames.size(); ++i)
        setEnv(kNames[i], c.before[i]);
    {
        RunEnvironment environment;
        for (std::size_t i = 0; i < kNames.size(); ++i)
            EXPECT_EQ(env(kNames[i]), c.during[i]) << kNames[i];
        environment.restore();
        for (std::size_t i = 0; i < kNames.size(); ++i)
            EXPECT_EQ(env(kNames[i]), c.before[i]) << kNames[i] << " after restore";
        setEnv(kNames[1], "changed after restore");
    }
    EXPECT_EQ(env(kNames[1]), "changed after restore") << "the destructor restores only once";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunEnvironmentTest,
    ::testing::Values(Case{"BothUnset", {std::nullopt, std::nullopt}, {"1", "1"}},
                      Case{"UserValuesKept", {"0", ""}, {"0", ""}},
                      Case{"OneSetByUser", {std::nullopt, "0"}, {"1", "0"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
