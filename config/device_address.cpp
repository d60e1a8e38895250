// "执行" changes the module's slave address; "读地址" reads it.
#include "app/frm_main.h"
#include "core/input_checks.h"

void frmMain::cmdChangeID_Click() {
    // The first check that fails ends the click with its message.
    const auto input = modbus::checkAddressChange(txtSetID[0]->text(), txtSetID[1]->text());
    if (input.problem != modbus::InputProblem::None) {
        showInputProblem(input.problem);
        return;
    }
    issueConfigurationRequest(modbus::Request::addressChange(input.source, input.target),
                              KeepThreshold::Yes);
}

void frmMain::cmdReadAdd_Click() {
    const auto station = configurationStation();
    if (!station)
        return;
    issueConfigurationRequest(modbus::Request::addressRead(*station), KeepThreshold::No);
}
