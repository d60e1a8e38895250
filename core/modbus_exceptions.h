#pragma once

#include <QtGlobal>

#include <cstdint>

// The Modbus exception codes a module or a gateway answers with, each named once: in English for
// the records and the command line, in the window's own language for the receive box (marked for
// the window's translation, context "window_texts").
namespace modbus {

struct ExceptionName {
    std::uint8_t code;
    const char *name;      // "illegal data address"
    const char *shownName; // the window's: "非法数据地址"
};

inline constexpr ExceptionName kExceptionNames[] = {
    {0x01, "illegal function", QT_TRANSLATE_NOOP("window_texts", "非法功能")},
    {0x02, "illegal data address", QT_TRANSLATE_NOOP("window_texts", "非法数据地址")},
    {0x03, "illegal data value", QT_TRANSLATE_NOOP("window_texts", "非法数据值")},
    {0x04, "slave device failure", QT_TRANSLATE_NOOP("window_texts", "从站设备故障")},
    {0x05, "acknowledge", QT_TRANSLATE_NOOP("window_texts", "确认")},
    {0x06, "slave device busy", QT_TRANSLATE_NOOP("window_texts", "从站设备忙")},
    {0x08, "memory parity error", QT_TRANSLATE_NOOP("window_texts", "存储奇偶性差错")},
    {0x0A, "gateway path unavailable", QT_TRANSLATE_NOOP("window_texts", "网关路径不可用")},
    {0x0B, "gateway target device failed to respond",
     QT_TRANSLATE_NOOP("window_texts", "网关目标设备响应失败")},
};

// The code's row, or nullptr for a code the table does not know.
constexpr const ExceptionName *exceptionNamed(std::uint8_t code) {
    for (const ExceptionName &known : kExceptionNames) {
        if (known.code == code)
            return &known;
    }
    return nullptr;
}

} // namespace modbus
