#pragma once

#include "module_protocol.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The GX7140R's registers as the tool shows, records and writes them: one table for the window,
// the command line, the log and the simulator.
namespace modbus {

// The values the module takes for a setting, as the window's hints beside the boxes give them.
struct SettingRange {
    double lowest;
    double highest;
    int decimals = 0; // as the hint writes the ends: "0.5 to 2.0"
};

struct ModuleField {
    int address;                  // holding register read by the measurement request
    std::string_view key;         // column and field name in logs and machine-readable output
    std::string_view unit;        // empty when the value has none
    std::optional<int> parameter; // register written by the row's set button, if it has one
    std::string_view settingName; // the command line's name for that write, if it has one

    // What the module takes for the setting, if the row has one.
    std::optional<SettingRange> range = std::nullopt;
    // What the module holds until it is set, as the window's hint names its default.
    std::optional<std::uint16_t> defaultValue = std::nullopt;
};

// A measurement reads registers 0..9 from the module: the fields below and the ones it leaves
// unused.
inline constexpr int kMeasurementRegisterCount = 10;

// The window's captions of the rows are its own texts (frm_main.ui); rows 1, 6 and 7 stay hidden,
// and a register past the window's eight boxes would be recorded and printed, not shown. One row
// per register of the measurement block.
// clang-format off
inline constexpr auto kModuleFields = std::to_array<ModuleField>({
    {0, "concentration_ppm", "ppm", std::nullopt, {}},
    {1, "alarm_state", {}, std::nullopt, {}},
    {2, "range_coefficient", {}, 0x0A02, "range-coefficient", {{0.5, 2.0, 1}}, 1},
    {3, "range_low", {}, 0x0A03, "range-low", {{0, 1000}}, 0},
    {4, "range_high", {}, 0x0A04, "range-high", {{1000, 20000}}, 2000},
    {5, "display_calibration", {}, 0x0A05, "display-calibration", {{100, 2000}}, 1000},
    {6, "alarm_low", {}, 0x0A06, {}, std::nullopt, 0},
    {7, "alarm_high", {}, 0x0A07, {}, std::nullopt, 2000},
});
// clang-format on
static_assert(std::all_of(kModuleFields.begin(), kModuleFields.end(), [](const ModuleField &f) {
    return f.address >= 0 && f.address < kMeasurementRegisterCount;
}));

// The slave address (register 0x0B00): the module accepts 1..250, libmodbus's RTU master and
// slave reach 1..247 only.
inline constexpr int kLowestModuleAddress = 1;
inline constexpr int kHighestModuleAddress = 250;
inline constexpr int kHighestLibmodbusAddress = 247;
// A request to address 0 is for every module on the line; none of them is to answer.
inline constexpr int kBroadcastAddress = 0;

// The registers a read may cover: the measurement block.
constexpr bool isReadableRange(int first, int count) {
    return first >= 0 && count >= 1 && first + count <= kMeasurementRegisterCount;
}

// The field a set button or a setting name writes, or nullptr. Header-only, so that the simulated
// module reads the same table without the tool's Qt libraries.
constexpr const ModuleField *fieldForParameter(int parameterRegister) {
    for (const ModuleField &field : kModuleFields) {
        if (field.parameter == parameterRegister)
            return &field;
    }
    return nullptr;
}
// The field set button `index` writes: the index-th field with a parameter register.
constexpr const ModuleField *fieldForSetButton(int index) {
    for (const ModuleField &field : kModuleFields) {
        if (field.parameter && index-- == 0)
            return &field;
    }
    return nullptr;
}
// The register of the field with that key, or -1.
constexpr int registerOf(std::string_view key) {
    for (const ModuleField &field : kModuleFields) {
        if (field.key == key)
            return field.address;
    }
    return -1;
}
inline constexpr int kConcentrationRegister = registerOf("concentration_ppm");
inline constexpr int kAlarmStateRegister = registerOf("alarm_state");
inline constexpr int kAlarmHighRegister = registerOf("alarm_high");

// The registers a one-register write may change: the parameters and the slave address.
constexpr bool isWritableRegister(int address) {
    return address == kSlaveAddressRegister || fieldForParameter(address) != nullptr;
}
constexpr const ModuleField *fieldForSettingName(std::string_view name) {
    for (const ModuleField &field : kModuleFields) {
        if (!field.settingName.empty() && field.settingName == name)
            return &field;
    }
    return nullptr;
}

// Values of a measurement reply by register address (0..7), the reply's positions counted from
// the request's start register; registers the reply does not cover stay empty.
using RegisterValues = std::array<std::optional<std::uint16_t>, kMeasurementRegisterCount>;
template <typename Values>
RegisterValues valuesByRegister(int startRegister, const Values &values) {
    RegisterValues registers;
    int position = 0;
    for (const auto value : values) {
        const int address = startRegister + position++;
        if (address >= 0 && address < kMeasurementRegisterCount)
            registers[std::size_t(address)] = std::uint16_t(value);
    }
    return registers;
}

} // namespace modbus
