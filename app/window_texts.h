#pragma once

#include "core/line_settings.h"
#include "core/modbus_exceptions.h"

#include <QColor>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>

// Every message, title, number and colour the handlers use. The layout's own captions, colours and
// fonts live in frm_main.ui.
//
// The texts are the window's own Chinese. QT_TRANSLATE_NOOP marks them for Qt Linguist (context
// "window_texts"); they are looked up in the installed translation, if any (--lang), only when
// shown: shown(text).
namespace window_texts {

inline QString shown(const QString &text) {
    return QCoreApplication::translate("window_texts", text.toUtf8().constData());
}

inline const QString kAppTitle = QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "智能模块"));
inline const QString kErrorNoticeTitle =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "出错提示"));

// Serial port handling.
inline const QString kSelectPort =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "请选择端口"));
inline const QString kPortOpenOrInUse =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "串口已打开或被占用！"));
// The open button's second line, under kPortOpenOrInUse: why the port did not open, when the
// system tells something more than "in use". %1 is the device.
inline const QString kPortMissing =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "设备 %1 不存在"));
inline const QString kPortHeldByProcess =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "%1 被进程 %2（%3）占用"));
inline const QString kPortHeldByUnnamedProcess =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "%1 被进程 %2 占用"));
// %2 the lock file, %3 what it holds.
inline const QString kPortLockUnreadable = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "window_texts",
    "%1 被锁文件 %2 锁住，但其中没有进程号（%3）：确认没有程序在用该串口后删除该文件"));
// %2 owner, %3 group, %4 mode as ls -l shows it.
inline const QString kPortOwnerOnly = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "window_texts", "无权打开 %1（属主 %2，组 %3，权限 %4）：只有属主可以打开；用 udev 规则 "
                    "GROUP=\"dialout\", MODE=\"0660\" 把它交给 dialout 组（见 "
                    "99-gx7140r.rules.example）"));
inline const QString kPortGroupToJoin = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "无权打开 %1（属主 %2，组 %3，权限 %4）：sudo adduser $USER "
                                      "%3，然后重新登录"));
inline const QString kPortGroupJoinedSinceLogIn = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "window_texts",
    "暂时无权打开 %1（属主 %2，组 %3，权限 %4）：你在登录后才加入 %3 组，请注销后重新登录"));
inline const QString kPortListPrefix = QStringLiteral("COM");
// The port list's tooltip: "COM3: /dev/ttyUSB0, USB-Serial CH340".
inline const QString kPortDescription = QStringLiteral("%1: %2");

// Measurement request.
inline const QString kPortClosedOnRequest =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "打开串口出错，请确定串口是否已被占用"));

// Cyclic polling.
inline const QString kIntervalNotNumeric = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "你输入的定时时长格式有误，应该为数字，值范围为100-60000!"));
inline const QString kIntervalOutOfRange = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "你输入的定时时长格式有误，应该为数字，值范围为50-60000!"));

// Device address.
inline const QString kSourceAddressMalformed =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "你输入的原设备地址格式有误!"));
inline const QString kTargetAddressMalformed =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "你输入的目标设备地址格式有误!"));
inline const QString kAddressZero =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "请指定正确的设备地址，正确值范围为1-250"));
inline const QString kAddressTooHigh = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "请指定正确的设备地址，正确值范围为1-250!"));

// Parameter settings.
inline const QString kValueMalformed = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "你输入的值有误，请输入0-9的数据，不能含字母！"));

// The exchange log (--log): a write failed, the log stops, the window goes on.
inline const QString kLogWriteFailed = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "window_texts", "记录文件写入失败（磁盘已满或文件不可写），记录已停止，测量照常进行。"));

// Start-up defaults.
inline const QString kDefaultStationID = QStringLiteral("1");
inline const QString kDefaultDataLength = QStringLiteral("10");
inline constexpr int kDefaultCommNum = 1;
inline constexpr int kDefaultCommRate = kDefaultBaudRate;
inline const QStringList kBaudRates = [] {
    QStringList rates;
    for (const int rate : kModuleBaudRates)
        rates << QString::number(rate);
    return rates;
}();
inline constexpr int kListSearchPositions = 24; // start-up searches positions 0..23

// Counters and the cyclic interval.
inline constexpr int kCounterWrapAbove = 65535;
inline const QString kCounterWrapped = QStringLiteral("0");
inline const QString kCounterRestart = QStringLiteral("1");
inline constexpr int kRecCountRestart = 1;
inline const QString kRepairedDataLength = QStringLiteral("1");

// Where the form's fonts (SimSun 9 pt, 宋体, Arial, MS Sans Serif) are not installed, these
// stand in: the first one present is used. WenQuanYi Zen Hei Mono keeps SimSun's half-width
// Latin letters, so the captions fit the boxes as the layout intends.
struct FontSubstitute {
    const char *family;
    QStringList substitutes;
};
inline const FontSubstitute kFontSubstitutes[] = {
    {"SimSun", {"NSimSun", "WenQuanYi Zen Hei Mono", "Noto Sans Mono CJK SC"}},
    {"宋体", {"SimSun", "NSimSun", "WenQuanYi Zen Hei Mono", "Noto Sans Mono CJK SC"}},
    {"Arial", {"Liberation Sans", "DejaVu Sans"}},
    {"MS Sans Serif", {"Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"}},
};

// The lamp's state as text, for screen readers (the accessible description of Picture2).
inline const QString kLampGreen = QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "绿灯"));
inline const QString kLampYellow = QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "黄灯"));
inline const QString kLampRed = QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "红灯"));

// Said of the receive box while it shows a rejected reply in red.
inline const QString kRejectedReplyDescription =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "无效应答，未解码"));

// Said of the receive box (description and tooltip) while it shows a write's echo of another value
// than the one sent: the module may have taken it, and the button beside tells.
inline const QString kEchoedAddressDescription =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "模块应答的地址为%1，请用读地址核对"));
inline const QString kEchoedValueDescription =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "模块应答的值为%1，请用单次核对"));
inline const QString kEchoedRegisterDescription =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "模块应答的寄存器为%1，值为%2"));

// Said of the receive box (description and tooltip) while it shows a read request that the line
// gave back: a two-wire adapter that echoes what it sends.
inline const QString kEchoedRequestDescription = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "线路回传了发送的数据：请用 --echo 启动本程序"));

// ... and with --echo, while it shows bytes that are not what was sent: the line does not echo.
inline const QString kNoEchoDescription = QString::fromUtf8(
    QT_TRANSLATE_NOOP("window_texts", "线路没有回传发送的数据：请不带 --echo 启动本程序"));

// Said of the receive box (description and tooltip) while it shows the module's refusal of the
// request: "模块拒绝：02 非法数据地址".
inline const QString kRefusalDescription =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "模块拒绝：%1 %2"));
inline const QString kUnknownException =
    QString::fromUtf8(QT_TRANSLATE_NOOP("window_texts", "未知异常"));

// The refusal's text in the shown language.
inline QString refusalText(std::uint8_t code) {
    const modbus::ExceptionName *known = modbus::exceptionNamed(code);
    const QString name = shown(known ? QString::fromUtf8(known->shownName) : kUnknownException);
    return shown(kRefusalDescription)
        .arg(QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper(), name);
}

// Text colours set by the handlers.
inline const QColor kDecodedValueColour = QColor(0, 0, 0);
inline const QColor kRejectedReplyColour = QColor(255, 0, 0);

} // namespace window_texts
