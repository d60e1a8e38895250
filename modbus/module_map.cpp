#include "module_map.h"

namespace modbus {

const ModuleField *fieldForParameter(int parameterRegister) {
    for (const ModuleField &field : kModuleFields) {
        if (field.parameter == parameterRegister)
            return &field;
    }
    return nullptr;
}

const ModuleField *fieldForSettingName(std::string_view name) {
    for (const ModuleField &field : kModuleFields) {
        if (!field.settingName.empty() && field.settingName == name)
            return &field;
    }
    return nullptr;
}

} // namespace modbus
