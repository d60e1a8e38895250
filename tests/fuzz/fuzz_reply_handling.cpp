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
    const std::uint16_t crc = modbus::crc16Modbus(modbus::bytesOf(frame.first(frame.size() - 2)));
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
    check(modbus::expectedReplyLength(pending, modbus::bytesOf(block)) == found.frameLength);
    const modbus::ReplyFrame reply(modbus::bytesOf(block));
    if (found.verdict == modbus::ReplyVerdict::Accepted) {
        // The answer comes with the function asked, and a read with the registers asked.
        check(reply.function() == pending.function());
        check(!pending.asksForRegisters() || reply.byteCount() == 2 * pending.registerCount());
    }
    check(found.verdict != modbus::ReplyVerdict::Exception ||
          (reply.slave() == pending.slave() && found.exceptionCode == reply.exceptionCode()));
}

// The requests the window builds, each issued through its own button.
struct Pending {
    modbus::Request request;
    void (*issue)(frmMain &window);
};
const Pending kPending[] = {
    {modbus::Request::readRegisters(1, 0, 10), [](frmMain &w) { w.comDoOnce_Click(); }},
    {modbus::Request::measurement(1, 4, 2, 3),
     [](frmMain &w) {
         w.ui.txtFunID->setText(QStringLiteral("4"));
         w.ui.txtStartID->setText(QStringLiteral("2"));
         w.ui.txtDataLength->setText(QStringLiteral("3"));
         w.comDoOnce_Click();
         w.ui.txtFunID->setText(QStringLiteral("3"));
         w.ui.txtStartID->setText(QStringLiteral("0"));
         w.ui.txtDataLength->setText(QStringLiteral("10"));
     }},
    {modbus::Request::addressChange(1, 2),
     [](frmMain &w) {
         w.txtSetID[0]->setText(QStringLiteral("1"));
         w.txtSetID[1]->setText(QStringLiteral("2"));
         w.cmdChangeID_Click();
     }},
    {modbus::Request::addressRead(1), [](frmMain &w) { w.cmdReadAdd_Click(); }},
    {modbus::Request::parameterWrite(1, 0x0A02, 1),
     [](frmMain &w) {
         w.txtValue[2]->setText(QStringLiteral("1"));
         w.cmdSet_Click(0);
     }},
};
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
    comm->open = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the pending request (the last choice: none, as before any request).
    const std::size_t choice = data[0] % (std::size(kPending) + 1);
    modbus::Request pending;
    if (choice < std::size(kPending)) {
        pending = kPending[choice].request;
        window->ui.txtStationID->setText(QStringLiteral("1"));
        kPending[choice].issue(*window);
        check(comm->sent.last() == modbus::byteArrayOf(pending.rtu()));
    } else {
        window->CmdType = modbus::kNoRequest; // no request stands for it: nothing is pending
    }
    const QByteArray block(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (QLineEdit *box : window->txtValue)
        box->setText(kUntouched);
    window->txtSetID[0]->setText(kUntouched);
    const qint32 eventsBefore = window->RecCount;
    const qsizetype sentBefore = comm->sent.size();

    comm->waiting = block;
    comm->log.clear();
    comm->raise(CommControl::comEvReceive);

    check(window->RecCount == eventsBefore + 1 || eventsBefore == INT32_MAX);
    check(window->ui.txtState->toPlainText() == modbus::replyHexText(block));
    const modbus::ReplyCheck replyCheck =
        modbus::checkReply(pending, modbus::bytesOf(block), modbus::ReplyPolicy::Window);
    checkTheCheck(pending, block, replyCheck);
    const bool accepted = replyCheck.verdict == modbus::ReplyVerdict::Accepted;
    const auto values = modbus::measurementValues(block);
    for (int k = 0; k < modbus::kValueBoxCount; ++k) {
        const QString shown = window->txtValue[k]->text();
        const bool decoded = pending.kind() == modbus::RequestKind::Measurement && accepted &&
                             k < int(values.size());
        check(shown == (decoded ? QString::number(values[k]) : kUntouched));
    }
    // The address boxes: the echoed new address, or who answered.
    std::optional<int> address;
    if (accepted && pending.kind() == modbus::RequestKind::AddressChange)
        address = quint8(block[5]);
    if (accepted && (pending.kind() == modbus::RequestKind::AddressRead ||
                     pending.kind() == modbus::RequestKind::ParameterWrite))
        address = quint8(block[0]);
    check(window->txtSetID[0]->text() == (address ? QString::number(*address) : kUntouched));
    const bool red = window->ui.txtState->palette().color(QPalette::Text) == QColor(255, 0, 0);
    check(red == (replyCheck.verdict != modbus::ReplyVerdict::NotPending && !accepted));
    check(window->frontLamp() == window->ui.imgConnected);
    check(comm->sent.size() == sentBefore);
    return 0;
}
