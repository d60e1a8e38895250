// "设置" buttons: write the number in txtValue(i + 2) to register 0x0A00 + i + 2.
#include "app/frm_main.h"
#include "core/input_checks.h"
#include "core/module_protocol.h"

void frmMain::cmdSet_Click(int Index) {
    if (Index < 0 || Index >= modbus::kParameterButtonCount)
        return;
    const int registerLow = modbus::kFirstParameterRegisterLow + Index;
    const auto value = modbus::checkParameterValue(txtValue[registerLow]->text());
    if (value.problem != modbus::InputProblem::None) {
        showInputProblem(value.problem);
        return;
    }
    const auto station = configurationStation();
    if (!station)
        return;
    const modbus::Frame frame{*station,
                              modbus::kWriteSingleRegister,
                              modbus::kParameterRegisterHigh,
                              std::uint8_t(registerLow),
                              std::uint8_t(value.value >> 8),
                              std::uint8_t(value.value & 0xFF)};
    issueConfigurationRequest(frame, modbus::RequestKind::ParameterWrite, KeepThreshold::Yes);
}
