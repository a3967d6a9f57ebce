#include "gui/Printers.h"

#include <QPrinterInfo>

namespace kv {

std::unique_ptr<QPrinter> defaultPrinter() {
    const QString pdf = qEnvironmentVariable("KORVELT_PRINT_PDF");
    if (!pdf.isEmpty()) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        return printer;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

}  // namespace kv
