#pragma once
// The printer the print commands (the listing, the viewer's text) print on.
//
// PrintTarget::choose gives the host's default printer in high resolution.
// When the host has none, the user is told so and offered to write the pages
// to a PDF file instead: a save dialog names the file, the pages go to a
// temporary beside it, and finish() puts the file in place only when the job
// ended well, so an earlier file of that name is never left half written.
// When the environment variable KORVELT_PRINT_PDF names a file, the pages go
// straight to that PDF file without a question, whatever printers the host
// has: tests print through the same code path that way.

#include <QPrinter>
#include <memory>
#include <string>

#include "platform/TempFile.h"

class QWidget;

namespace kv {

class Ui;

inline constexpr const char* NoPrinterMessage =
    "Aucune imprimante n'est installée sur cet ordinateur.\r"
    "Voulez-vous enregistrer l'impression dans un fichier PDF ?";

class PrintTarget {
  public:
    // The printer to print on, or an empty target (false) when there is none
    // and the user chose no PDF file.
    static PrintTarget choose(Ui& ui, QWidget* parent);

    explicit operator bool() const { return printer_ != nullptr; }
    QPrinter& printer() { return *printer_; }
    // True for a PDF file rather than a printer.
    bool toFile() const { return printer_ && printer_->outputFormat() == QPrinter::PdfFormat; }

    // After the job: a PDF written to a temporary is renamed over the chosen
    // file. False, with an error box naming the file and the temporary
    // removed, when the job or the rename failed. Printers: always true.
    bool finish(Ui& ui);

  private:
    std::unique_ptr<QPrinter> printer_;
    TempFile pdf_;        // the PDF being written, when the user chose a file
    std::string target_;  // the chosen file (Windows path)
};

}  // namespace kv
