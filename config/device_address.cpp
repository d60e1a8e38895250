// "执行" changes the module's slave address; "读地址" reads it.
#include "app/frm_main.h"
#include "app/numeric_text.h"
#include "modbus/module_protocol.h"

#include <cmath>

using namespace window_texts;

void frmMain::cmdChangeID_Click() {
    // The first check that fails ends the click with its message.
    const auto source = numeric::parseNumber(txtSetID[0]->text());
    if (!source) {
        showMessage(kSourceAddressMalformed);
        return;
    }
    const auto target = numeric::parseNumber(txtSetID[1]->text());
    if (!target) {
        showMessage(kTargetAddressMalformed);
        return;
    }
    const double s = std::floor(*source);
    const double t = std::floor(*target);
    if (s == 0 || t == 0) {
        showMessage(kAddressZero);
        return;
    }
    if (t > kHighestTargetAddress) {
        showMessage(kAddressTooHigh);
        return;
    }
    // Addresses that pass those checks but do not fit the frame's byte produce no request.
    if (s < 0 || t < 0) {
        showMessage(kAddressZero);
        return;
    }
    if (s > kHighestByte) {
        showMessage(kAddressTooHigh);
        return;
    }
    const modbus::Frame frame{std::uint8_t(s),
                              modbus::kWriteSingleRegister,
                              modbus::kAddressRegisterHigh,
                              modbus::kAddressRegisterLow,
                              0,
                              std::uint8_t(t)};
    issueConfigurationRequest(frame, modbus::kAddressChange, modbus::kAddressReplyThreshold,
                              KeepThreshold::Yes);
}

void frmMain::cmdReadAdd_Click() {
    const auto station = configurationStation();
    if (!station)
        return;
    const modbus::Frame frame{*station, modbus::kReadHoldingRegisters, 0, 0, 0, 1};
    issueConfigurationRequest(frame, modbus::kAddressReadOrParameterWrite,
                              modbus::kAddressReplyThreshold, KeepThreshold::No);
}
