// "设置" buttons: write the number in txtValue(i + 2) to register 0x0A00 + i + 2.
#include "app/frm_main.h"
#include "core/input_checks.h"
#include "core/module_map.h"

void frmMain::cmdSet_Click(int Index) {
    const modbus::ModuleField *field = modbus::fieldForSetButton(Index);
    if (!field)
        return;
    const auto value = modbus::checkParameterValue(txtValue[std::size_t(field->address)]->text());
    if (value.problem != modbus::InputProblem::None) {
        showInputProblem(value.problem);
        return;
    }
    const auto station = configurationStation();
    if (!station)
        return;
    issueConfigurationRequest(
        modbus::Request::parameterWrite(*station, std::uint16_t(*field->parameter), value.value),
        KeepThreshold::Yes);
}
