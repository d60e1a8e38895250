#pragma once

#include <QString>

// The window's messages as the tests expect them, spelled out here rather than taken from the
// window's own table, so that a wrong character there is caught.
namespace expected {
inline const QString kAppTitle = QStringLiteral("智能模块");
inline const QString kPortClosed = QStringLiteral("打开串口出错，请确定串口是否已被占用");
inline const QString kIntervalText =
    QStringLiteral("你输入的定时时长格式有误，应该为数字，值范围为100-60000!");
inline const QString kIntervalRange =
    QStringLiteral("你输入的定时时长格式有误，应该为数字，值范围为50-60000!");
inline const QString kSource = QStringLiteral("你输入的原设备地址格式有误!");
inline const QString kTarget = QStringLiteral("你输入的目标设备地址格式有误!");
inline const QString kZero = QStringLiteral("请指定正确的设备地址，正确值范围为1-250");
inline const QString kHigh = QStringLiteral("请指定正确的设备地址，正确值范围为1-250!");
inline const QString kValue = QStringLiteral("你输入的值有误，请输入0-9的数据，不能含字母！");
inline const QString kLogWriteFailed =
    QStringLiteral("记录文件写入失败（磁盘已满或文件不可写），记录已停止，测量照常进行。");
} // namespace expected
