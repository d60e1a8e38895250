// Any bytes, under any pending kind, through the window's own reply handling. A value box may
// change only when the block begins with a whole read reply whose CRC checks out.
#include "app/frm_main.h"
#include "fake_comm_control.h"
#include "core/frame_codec.h"
#include "core/module_protocol.h"
#include "core/reply_decoder.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <cstdlib>
#include <optional>

namespace {
frmMain *window = nullptr;
FakeCommControl *comm = nullptr;
const QString kUntouched = QStringLiteral("untouched");

void check(bool condition) {
    if (!condition)
        std::abort();
}

// The block begins with `length` bytes of the given function followed by their CRC.
bool wholeFrameWithCrc(const QByteArray &block, quint8 function, int length) {
    if (block.size() < length + 2 || quint8(block[1]) != function)
        return false;
    const std::uint16_t crc = modbus::crc16Modbus(block.first(length));
    return quint8(block[length]) == (crc & 0xFF) && quint8(block[length + 1]) == (crc >> 8);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_reply_handling";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    auto fake = std::make_unique<FakeCommControl>();
    comm = fake.get();
    window = new frmMain(std::move(fake), {[](const Message &) { std::abort(); }, {}, {}});
    window->Form_Load();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    static const int kinds[] = {modbus::kNoRequest,
                                modbus::kMeasurementRead,
                                modbus::kAddressChange,
                                modbus::kAddressReadOrParameterWrite,
                                2,
                                -1};
    window->CmdType = qint16(kinds[data[0] % std::size(kinds)]);
    const QByteArray block(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (QLineEdit *box : window->txtValue)
        box->setText(kUntouched);
    window->txtSetID[0]->setText(kUntouched);
    const qint32 eventsBefore = window->RecCount;

    comm->waiting = block;
    comm->log.clear();
    comm->raise(CommControl::comEvReceive);

    check(window->RecCount == eventsBefore + 1 || eventsBefore == INT32_MAX);
    check(window->ui.txtState->toPlainText() == modbus::replyHexText(block));
    const bool whole = modbus::isWholeReadReply(block);
    const auto values = modbus::measurementValues(block);
    for (int k = 0; k < modbus::kValueBoxCount; ++k) {
        const QString shown = window->txtValue[k]->text();
        const bool decoded =
            window->CmdType == modbus::kMeasurementRead && whole && k < int(values.size());
        check(shown == (decoded ? QString::number(values[k]) : kUntouched));
    }
    // The address boxes change only from a whole configuration frame whose CRC checks out.
    const bool echo = wholeFrameWithCrc(block, 0x06, 6);
    const bool oneRegister = block.size() > 2 && quint8(block[2]) == 2 &&
                             wholeFrameWithCrc(block, modbus::kReadHoldingRegisters, 5);
    std::optional<int> address;
    if (window->CmdType == modbus::kAddressChange && echo)
        address = quint8(block[5]);
    if (window->CmdType == modbus::kAddressReadOrParameterWrite && (echo || oneRegister))
        address = quint8(block[0]);
    check(window->txtSetID[0]->text() == (address ? QString::number(*address) : kUntouched));
    const bool checkedKind = window->CmdType == modbus::kMeasurementRead ||
                             window->CmdType == modbus::kAddressChange ||
                             window->CmdType == modbus::kAddressReadOrParameterWrite;
    const bool red = window->ui.txtState->palette().color(QPalette::Text) == QColor(255, 0, 0);
    const bool accepted = window->CmdType == modbus::kMeasurementRead ? whole : address.has_value();
    check(red == (checkedKind && !accepted));
    check(window->frontLamp() == window->ui.imgConnected);
    check(comm->sent.isEmpty());
    return 0;
}
