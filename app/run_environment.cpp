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

void setRunEnvironment() {
    for (const Setting &setting : kSettings) {
        if (!qEnvironmentVariableIsSet(setting.name))
            qputenv(setting.name, QByteArray(setting.value));
    }
}
