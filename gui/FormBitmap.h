#pragma once
// FormBitmap: the program's picture holder. It shows nothing; it only keeps the
// pictures other windows borrow: the toolbar glyphs of the main window (each in
// a high-colour and a 16-colour version), the small icons of ImageList1 (catalog
// row status, menus, selection and script rows), the wait notice's icon and the
// about box picture. Every picture is drawn by the program itself with QPainter,
// once, on first use; callers get shared copies.
//
// Needs a QGuiApplication (pixmaps); no other dependency.

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

namespace kv {

class TFormBitmap {
  public:
    // The ten toolbar pictures; each exists in two depths, 20 in all.
    enum Glyph {
        GlyphNew,      // ImageNew / ImageNewC         SpeedBNew
        GlyphOpen,     // ImageOpen / ImageOpenC       SpeedBOpen
        GlyphArch,     // ImageArch / ImageArchC       SpeedBArchive
        GlyphSelf,     // ImageSelf / ImageSelfC       SpeedBExtractor
        GlyphExtract,  // ImageExtract / ImageExtractC SpeedBRestaure
        GlyphAdd,      // ImageAdd / ImageAddC         SpeedBPlus
        GlyphDell,     // ImageDell / ImageDellC       SpeedBMoins
        GlyphSearch,   // ImageSearch / ImageSearchC   SpeedBSearchArch
        GlyphEcran,    // ImageEcran / ImageEcranC     ToolB_Voir
        GlyphVerify,   // ImageVerify / ImageVerifyC   SpeedBVerifier
        GlyphCount
    };

    // Side of a toolbar glyph: the high-colour set fills a 35-pixel button with
    // margin 1, the 16-colour set sits at margin 6.
    static constexpr int HighColourGlyphSize = 32;
    static constexpr int LowColourGlyphSize = 22;

    // The toolbar picture of a glyph; highColour picks the "C" (many colours)
    // version. An index out of range gives a null pixmap.
    static QPixmap toolbarGlyph(int glyph, bool highColour);
    // The same by the picture's own name ("ImageNewC", "ImageDell", ...);
    // a null pixmap for an unknown name.
    static QPixmap picture(const QString& name);

    // ImageList1: 16 x 16 icons. Indices 0 to 3 are the EntryStatus icons of the
    // catalog rows and of the "Légende" submenu, and so are the last two (the
    // statuses a check of the archive adds: statusImage() maps them); the rest
    // serve the menus.
    enum ImageIndex {
        ImageStored = 0,     // EntryStatus 0: stored, unchanged
        ImageModified = 1,   // EntryStatus 1: modified on disk
        ImageMissing = 2,    // EntryStatus 2: missing on disk
        ImageNewFile = 3,    // EntryStatus 3: new, not yet archived
        ImageSelection = 4,  // a selection row of the add-files dialog
        ImageFolder = 5,     // a folder
        ImageDrive = 6,      // a drive
        ImageScript = 7,     // a selection script item of the Scripts menu
        ImageNewArchive = 8,
        ImageOpenArchive = 9,
        ImageSave = 10,
        ImageClose = 11,
        ImageDelete = 12,
        ImageText = 13,
        ImagePrint = 14,
        ImageQuit = 15,
        ImageSearchFile = 16,
        ImageAddFiles = 17,
        ImageRemoveFiles = 18,
        ImageArchive = 19,
        ImageRestore = 20,
        ImageSelfExtractor = 21,
        ImagePreview = 22,
        ImageOptions = 23,
        ImageHelp = 24,
        ImageAbout = 25,
        ImageMove = 26,
        ImageDiffers = 27,  // EntryStatus 4: content differs from the stored copy
        ImageDamaged = 28,  // EntryStatus 5: the stored copy is damaged
        ImageVerify = 29,   // the verify and test commands
        ImageCount
    };
    static constexpr int SmallIconSize = 16;

    // Every icon of ImageList1, in index order (ImageCount entries).
    static const QList<QIcon>& imageList();
    // The ImageList1 index of an EntryStatus value (0 to 5); -1 for any other.
    static int statusImage(int entryStatus);
    // One icon of ImageList1; a null icon for an index out of range.
    static QIcon statusIcon(int index);
    // The same picture as a 16 x 16 pixmap (null out of range).
    static QPixmap smallPixmap(int index);

    // The 32 x 32 icon of the wait notice.
    static QPixmap waitPicture();
    // The picture on the left of the about box (64 x 64).
    static QPixmap aboutPicture();
    // The folder picture of the small folder buttons (16 x 16).
    static QPixmap folderGlyph();
};

}  // namespace kv
