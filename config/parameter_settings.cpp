// "设置" buttons: write the number in txtValue(i + 2) to register 0x0A00 + i + 2.
#include "app/frm_main.h"
#include "app/numeric_text.h"
#include "modbus/module_protocol.h"

using namespace window_texts;

void frmMain::cmdSet_Click(int Index) {
    if (Index < 0 || Index >= modbus::kParameterButtonCount)
        return;
    const int registerLow = modbus::kFirstParameterRegisterLow + Index;
    const auto number = numeric::parseNumber(txtValue[registerLow]->text());
    if (!number) {
        showMessage(kValueMalformed);
        return;
    }
    // A value that does not fit a register after the wrap (70000, -70000, -0.2) is refused too.
    const auto value = numeric::wrappedRegisterValue(*number);
    if (!value) {
        showMessage(kValueMalformed);
        return;
    }
    const auto station = configurationStation();
    if (!station)
        return;
    const modbus::Frame frame{*station,
                              modbus::kWriteSingleRegister,
                              modbus::kParameterRegisterHigh,
                              std::uint8_t(registerLow),
                              std::uint8_t(*value >> 8),
                              std::uint8_t(*value & 0xFF)};
    issueConfigurationRequest(frame, modbus::kAddressReadOrParameterWrite,
                              modbus::kParameterReplyThreshold, KeepThreshold::Yes);
}
