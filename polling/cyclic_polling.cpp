// "循环" and "停止", and the tick of Timer2.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "core/input_checks.h"

using namespace window_texts;

void frmMain::cmdOneM_Click() {
    // Both counters restart on every click, also when the interval is refused.
    ui.lblCounter->setText(kCounterRestart);
    ui.lblErrCounter->setText(kCounterRestart);
    RecCount = kRecCountRestart;

    const auto interval = modbus::checkPollInterval(ui.txtTimerSet->text());
    if (interval.problem != modbus::InputProblem::None) {
        showInputProblem(interval.problem);
        return;
    }
    PollEnabled = true;
    Timer2.setInterval(interval.milliseconds);
    Timer2.setEnabled(true);
}

void frmMain::cmdStopOnce_Click() {
    Timer2.setEnabled(false);
}

void frmMain::Timer2_Timer() {
    // One closed-port message at a time, however short the interval.
    if (closedPortMessageOpen_)
        return;
    if (!numeric::isNumeric(ui.txtDataLength->text()))
        ui.txtDataLength->setText(kRepairedDataLength);
    if (counterValue(ui.lblCounter) > kCounterWrapAbove)
        ui.lblCounter->setText(kCounterWrapped);
    if (PollEnabled)
        comDoOnce_Click();
}
