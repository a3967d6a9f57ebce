#pragma once
// ProgressView: what the Qt Ui needs of the window that frames a long run
// (the progress dialog): its labels and bars, whether it is showing, and the
// cancel flag its stop button raises. The dialog implements it; the Ui holds
// one while the program runs.

#include <QString>

#include "util/Ui.h"

namespace kv {

class ProgressView {
  public:
    virtual ~ProgressView() = default;
    virtual bool showing() const = 0;
    virtual void setLabelText(ProgressLabel label, const QString& text) = 0;
    virtual void setOverallRange(int maximum) = 0;
    virtual void setOverall(int value) = 0;
    virtual void setFilePercent(int percent) = 0;
    // Files and bytes done of the totals, the rate and the time left
    // (util/ProgressMeter.h); empty before a run.
    virtual void setAmountText(const QString& text) = 0;
    virtual bool cancelRequested() const = 0;
};

}  // namespace kv
