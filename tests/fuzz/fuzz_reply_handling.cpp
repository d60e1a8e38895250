// Any bytes, under any pending kind, through the reply check and the window's own reply handling.
// A box may change only when the check accepts the block, and the check accepts only a whole
// frame whose CRC checks out.
#include "app/frm_main.h"
#include "core/frame_codec.h"
#include "core/module_protocol.h"
#include "core/reply_check.h"
#include "core/reply_decoder.h"
#include "fake_comm_control.h"

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

// The CRC over the frame's first bytes equals its last two bytes.
bool crcChecksOut(const QByteArray &frame) {
    const std::uint16_t crc = modbus::crc16Modbus(frame.first(frame.size() - 2));
    return quint8(frame[frame.size() - 2]) == (crc & 0xFF) &&
           quint8(frame[frame.size() - 1]) == (crc >> 8);
}

// What the check says of a block holds on its own terms.
void checkTheCheck(const modbus::Request &pending, const QByteArray &block,
                   const modbus::ReplyCheck &found) {
    if (found.frameLength == 0) {
        check(found.extraBytes == 0 && found.verdict != modbus::ReplyVerdict::Accepted);
        return;
    }
    check(found.frameLength >= 5 && found.frameLength + found.extraBytes == block.size());
    check(crcChecksOut(block.first(found.frameLength)));
    check(modbus::expectedReplyLength(pending, block) == found.frameLength);
    const bool refusal = quint8(block[1]) & modbus::kExceptionFlag;
    check(refusal == (found.verdict != modbus::ReplyVerdict::Accepted));
    check(found.verdict != modbus::ReplyVerdict::Exception ||
          (quint8(block[0]) == pending.slave && found.exceptionCode == quint8(block[2])));
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
    const modbus::Request pending{modbus::requestKindOf(window->CmdType)};
    const modbus::ReplyCheck replyCheck = modbus::checkReply(pending, block);
    checkTheCheck(pending, block, replyCheck);
    const bool accepted = replyCheck.verdict == modbus::ReplyVerdict::Accepted;
    const auto values = modbus::measurementValues(block);
    for (int k = 0; k < modbus::kValueBoxCount; ++k) {
        const QString shown = window->txtValue[k]->text();
        const bool decoded =
            pending.kind == modbus::RequestKind::Measurement && accepted && k < int(values.size());
        check(shown == (decoded ? QString::number(values[k]) : kUntouched));
    }
    // The address boxes: the echoed new address, or who answered.
    std::optional<int> address;
    if (accepted && pending.kind == modbus::RequestKind::AddressChange)
        address = quint8(block[5]);
    if (accepted && pending.kind == modbus::RequestKind::AddressRead)
        address = quint8(block[0]);
    check(window->txtSetID[0]->text() == (address ? QString::number(*address) : kUntouched));
    const bool red = window->ui.txtState->palette().color(QPalette::Text) == QColor(255, 0, 0);
    check(red == (replyCheck.verdict != modbus::ReplyVerdict::NotPending && !accepted));
    check(window->frontLamp() == window->ui.imgConnected);
    check(comm->sent.isEmpty());
    return 0;
}
