// The port list, the baud list, the open and close buttons.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "core/port_refusal.h"
#include "serial/comm_control.h"

#include <cmath>

using namespace window_texts;

namespace {

QString accessLine(const PortRefusal &refusal) {
    const DeviceAccess &access = refusal.access;
    const QString mode = modeText(access.mode);
    switch (accessFix(access)) {
    case AccessFix::UdevRule:
        return shown(kPortOwnerOnly).arg(refusal.device, access.owner, access.group, mode);
    case AccessFix::JoinGroup:
        return shown(kPortGroupToJoin).arg(refusal.device, access.owner, access.group, mode);
    case AccessFix::LogInAgain:
        return shown(kPortGroupJoinedSinceLogIn)
            .arg(refusal.device, access.owner, access.group, mode);
    case AccessFix::None:
        break;
    }
    return {};
}

QString lockLine(const PortRefusal &refusal) {
    const LockRefusal &lock = *refusal.lock;
    if (lock.kind == LockRefusal::Kind::UnreadableLock)
        return shown(kPortLockUnreadable).arg(refusal.device, lock.path, lock.content);
    const QString pid = QString::number(lock.pid);
    if (lock.program.isEmpty())
        return shown(kPortHeldByUnnamedProcess).arg(refusal.device, pid);
    return shown(kPortHeldByProcess).arg(refusal.device, pid, lock.program);
}

// The line that names why the port did not open; empty when all that is known is "in use".
QString refusalLine(const PortRefusal &refusal) {
    switch (refusal.cause) {
    case PortRefusal::Cause::NoDevice:
        return shown(kPortMissing).arg(refusal.device);
    case PortRefusal::Cause::NoPermission:
        return accessLine(refusal);
    case PortRefusal::Cause::Locked:
        return lockLine(refusal);
    case PortRefusal::Cause::Unknown:
        break;
    }
    return {};
}

} // namespace

void frmMain::Combo1_Click() {
    choosePort();
    // A port left closed (absent, in use, refused) shows red at once, without a message; an open
    // one is no longer shown red (a port that failed before may open now), else keeps its lamp.
    if (!MSComm1.PortOpen())
        bringToFront(ui.imgNotConnected);
    else if (frontLamp() == ui.imgNotConnected)
        bringToFront(ui.imgConnected);
}

void frmMain::choosePort() {
    // A failing step is skipped silently; the next one runs.
    if (MSComm1.PortOpen())
        MSComm1.setPortOpen(false);
    const int index = ui.Combo1->currentIndex();
    if (index == -1) {
        showMessage(kSelectPort);
        return;
    }
    MSComm1.setCommPort(index + 1);
    CommNum = qint16(MSComm1.CommPort());
    MSComm1.setSettings(portSettings());
    if (MSComm1.PortOpen())
        return;
    MSComm1.setPortOpen(true);
    OpenOnComm();
    PollEnabled = true;
}

void frmMain::Combo2_Click() {
    const int index = ui.Combo2->currentIndex();
    const auto rate = numeric::parseNumber(ui.Combo2->itemText(index));
    if (!rate)
        return;
    CommRate = qint16(std::floor(*rate));
    // When closing, applying or re-opening fails, the port stays closed; the next request says so.
    if (MSComm1.PortOpen()) {
        if (MSComm1.setPortOpen(false) && MSComm1.setSettings(portSettings()))
            MSComm1.setPortOpen(true);
    } else {
        MSComm1.setSettings(portSettings());
    }
}

void frmMain::cmdCom_Click() {
    bool ok = true;
    if (!MSComm1.PortOpen()) {
        ok = MSComm1.setSettings(portSettings());
        if (ok)
            bringToFront(ui.imgConnected);
    } else {
        bringToFront(ui.imgConnected);
        ok = MSComm1.setPortOpen(false);
    }
    if (ok && MSComm1.setPortOpen(true))
        return;
    bringToFront(ui.imgNotConnected);
    // Under the message, why the open failed when the system tells more than "in use".
    const QString why = ok ? refusalLine(MSComm1.lastOpenRefusal()) : QString();
    const QString text = why.isEmpty() ? kPortOpenOrInUse : shown(kPortOpenOrInUse) + u'\n' + why;
    showMessage(text, kErrorNoticeTitle, MessageIcon::Exclamation);
}

void frmMain::Command1_Click() {
    bringToFront(ui.imgNotConnected);
    if (MSComm1.PortOpen())
        MSComm1.setPortOpen(false);
}

void frmMain::OpenOnComm() {
    MSComm1.setRThreshold(1);
    MSComm1.setInputMode(CommControl::comInputModeBinary);
}
