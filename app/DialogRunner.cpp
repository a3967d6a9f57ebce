#include "app/DialogRunner.h"

namespace kv {
namespace {
DialogRunner::Handler& installedHandler() {
    static DialogRunner::Handler handler;
    return handler;
}
}  // namespace

int DialogRunner::exec(QDialog& dialog) {
    if (auto& handler = installedHandler()) return handler(dialog);
    return dialog.exec();
}

void DialogRunner::setHandler(Handler handler) { installedHandler() = std::move(handler); }

}  // namespace kv
