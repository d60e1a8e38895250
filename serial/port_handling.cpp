// The port list, the baud list, the open and close buttons.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "serial/comm_control.h"

#include <cmath>

using namespace window_texts;

void frmMain::Combo1_Click() {
    choosePort();
    // A port left closed (absent, in use, refused) shows red at once, without a message; an open
    // one keeps whatever the lamp showed.
    if (!MSComm1.PortOpen())
        bringToFront(ui.imgNotConnected);
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
    ok = ok && MSComm1.setPortOpen(true);
    if (!ok) {
        bringToFront(ui.imgNotConnected);
        showMessage(kPortOpenOrInUse, kErrorNoticeTitle, MessageIcon::Exclamation);
    }
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
