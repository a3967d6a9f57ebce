#include "gui/Printers.h"

#include <QPrinterInfo>

#include "gui/Chooser.h"
#include "platform/Platform.h"
#include "util/PathHelpers.h"
#include "util/Ui.h"

namespace kv {

namespace {

std::unique_ptr<QPrinter> pdfPrinter(const QString& hostPath) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(hostPath);
    return printer;
}

}  // namespace

PrintTarget PrintTarget::choose(Ui& ui, QWidget* parent) {
    PrintTarget target;
    const QString fixed = qEnvironmentVariable("KORVELT_PRINT_PDF");
    if (!fixed.isEmpty()) {
        target.printer_ = pdfPrinter(fixed);
        return target;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        target.printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        return target;
    }
    if (ui.message(MessageKind::Confirmation, NoPrinterMessage, Buttons::YesNo) != Answer::Yes)
        return target;
    FileDialogRequest request;
    request.title = QStringLiteral("Enregistrer l'impression en PDF");
    request.filter = QStringLiteral("Fichier PDF (*.pdf)");
    request.defaultExtension = QStringLiteral("pdf");
    const std::optional<QString> chosen = Chooser::instance().saveFile(parent, request);
    if (!chosen) return target;
    target.target_ = chosen->toStdString();
    target.pdf_ = TempFile(FolderOf(target.target_), TempFile::CopyStem, ".pdf");
    const std::optional<std::string> host =
        target.pdf_ ? platform().toHost(target.pdf_.path()) : std::nullopt;
    if (!host) {
        ui.message(MessageKind::Error, "Impossible d'enregistrer le fichier " + target.target_);
        return PrintTarget();
    }
    target.printer_ = pdfPrinter(QString::fromStdString(*host));
    return target;
}

bool PrintTarget::finish(Ui& ui) {
    if (!pdf_) return true;
    const bool printed = printer_->printerState() != QPrinter::Error;
    printer_.reset();  // the PDF engine lets go of the file
    if (printed && pdf_.close() && pdf_.renameTo(target_)) return true;
    pdf_ = TempFile();
    ui.message(MessageKind::Error, "Impossible d'enregistrer le fichier " + target_);
    return false;
}

}  // namespace kv
