#pragma once
// WaitNotice: shows the wait notice (TFormWait) with a text for the life of
// the scope, or until close(); a null notice shows nothing.

#include <QString>

#include "dialogs/TFormWait.h"

namespace kv {

class WaitNotice {
  public:
    WaitNotice(TFormWait* notice, const char* text) : notice_(notice) {
        if (notice_) notice_->showWait(QString::fromUtf8(text));
    }
    ~WaitNotice() { close(); }
    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

    void close() {
        if (notice_) notice_->hideWait();
        notice_ = nullptr;
    }

  private:
    TFormWait* notice_;
};

}  // namespace kv
