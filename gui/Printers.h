#pragma once
// The printer the print commands (the listing, the viewer's text) print on.
//
// defaultPrinter() gives the host's default printer in high resolution, or
// nullptr when the host has none; the command then tells the user
// NoPrinterMessage and prints nothing. When the environment variable
// KORVELT_PRINT_PDF names a file, the printer writes that PDF file instead,
// whatever printers the host has: tests print through the same code path
// that way, and so can a user without a printer.

#include <QPrinter>
#include <memory>

namespace kv {

inline constexpr const char* NoPrinterMessage =
    "Aucune imprimante n'est installée sur cet ordinateur.\r"
    "Installez une imprimante pour pouvoir imprimer.";

std::unique_ptr<QPrinter> defaultPrinter();

}  // namespace kv
