#pragma once

namespace Ui {
class frmMain;
}

// What a sighted user reads beside a value box and sees of the lamp, given to screen readers.
//
// Each value box of the data frame is described by the label to its right on its row: the unit
// ("ppm") or the range the module takes ("值范围为：0.5到2.0，默认值1.0"), in the window's
// language.
void describeValueBoxes(const Ui::frmMain &ui);

// The lamp (Picture2, a frame holding the three lamp pictures) is a status indicator, not a
// frame: named by its caption as before, its state ("绿灯", "黄灯", "红灯") its description.
void exposeLampAsStatusIndicator(const Ui::frmMain &ui);
