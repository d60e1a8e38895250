// "执行" changes the module's slave address; "读地址" reads it.
#include "app/frm_main.h"
#include "core/input_checks.h"
#include "core/module_protocol.h"

void frmMain::cmdChangeID_Click() {
    // The first check that fails ends the click with its message.
    const auto input = modbus::checkAddressChange(txtSetID[0]->text(), txtSetID[1]->text());
    if (input.problem != modbus::InputProblem::None) {
        showInputProblem(input.problem);
        return;
    }
    const modbus::Frame frame{input.source,
                              modbus::kWriteSingleRegister,
                              modbus::kAddressRegisterHigh,
                              modbus::kAddressRegisterLow,
                              0,
                              input.target};
    issueConfigurationRequest(frame, modbus::RequestKind::AddressChange, KeepThreshold::Yes);
}

void frmMain::cmdReadAdd_Click() {
    const auto station = configurationStation();
    if (!station)
        return;
    const modbus::Frame frame{*station, modbus::kReadHoldingRegisters, 0, 0, 0, 1};
    issueConfigurationRequest(frame, modbus::RequestKind::AddressRead, KeepThreshold::No);
}
