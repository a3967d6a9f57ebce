#pragma once
// The arithmetic of the printed listing: page counts and the printer units
// that turn the page layout's millimetres into printer pixels.
//
// Positions are given in millimetres from the page's edge. The printer
// reports the printable area in pixels (HORZRES, VERTRES) and in millimetres
// (HORZSIZE, VERTSIZE); pixels per centimetre are their integer quotients,
// and X(m) = (m - 4) * across / 10, Y(m) = (m - 3) * down / 10 (multiplication
// first, integer division), the 4 and 3 millimetres standing for the border
// the printer cannot print on.

#include <cstddef>

namespace kv {

// Rows on one printed page.
inline constexpr int ListingRowsPerPage = 64;

// Pages needed for that many rows: rows / 64 rounded up (0 for none).
int listingPages(std::size_t rows);

class PrinterUnits {
  public:
    // From the printable area as the printer reports it. A size under one
    // centimetre (no real printer reports one) is taken as one centimetre,
    // so the quotient never divides by zero.
    PrinterUnits(int widthPixels, int widthMm, int heightPixels, int heightMm);

    int pixelsPerCmAcross() const { return across_; }
    int pixelsPerCmDown() const { return down_; }
    int x(int mm) const { return (mm - 4) * across_ / 10; }
    int y(int mm) const { return (mm - 3) * down_ / 10; }

  private:
    int across_;
    int down_;
};

}  // namespace kv
