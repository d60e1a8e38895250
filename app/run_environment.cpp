#include "run_environment.h"

#include <QByteArray>
#include <QtGlobal>

namespace {
struct Setting {
    const char *name;
    const char *value;
};
constexpr Setting kSettings[] = {{"QT_XCB_NO_MITSHM", "1"}, {"QT_NO_GLIB", "1"}};
} // namespace

RunEnvironment::RunEnvironment() {
    for (const Setting &setting : kSettings) {
        if (qEnvironmentVariableIsSet(setting.name))
            continue;
        qputenv(setting.name, QByteArray(setting.value));
        setHere_.push_back(setting.name);
    }
}

RunEnvironment::~RunEnvironment() {
    restore();
}

void RunEnvironment::restore() {
    for (const char *name : setHere_)
        qunsetenv(name);
    setHere_.clear();
}
