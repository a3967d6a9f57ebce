// The preview command: one catalog row shown in the viewer, its stored copy
// extracted into the Work folder first, or a row never archived straight
// from its file on disk; and ImageExtensions, which decides between picture
// and text.

#include "app/TMainKorvelt2002.h"
#include "engine/Preview.h"
#include "gui/HourGlass.h"
#include "platform/Platform.h"
#include "viewer/TFileFormatList.h"
#include "viewer/TFormView.h"

namespace kv {

void TMainKorvelt2002::buildImageExtensions() {
    programFormats().extensionList(imageExtensions_);
    for (QString& extension : imageExtensions_) extension = QLatin1Char('.') + extension.toUpper();
}

void TMainKorvelt2002::Voir_FichierArchExecute() {
    const std::vector<std::size_t> selected = selectedRows();
    if (archive_.rows.empty() || selected.empty()) return;
    const CatalogRow row = archive_.rows[selected.front()];
    if (row.entryOffset) {
        // The hourglass shows while the copy is extracted, not while it is viewed.
        std::optional<PreviewCopy> copy = [&] {
            HourGlass glass;
            return ExtractForPreview(archive_, options_, row, ui_);
        }();
        if (copy)
            TFormView::ShowFile(copy->path(), QString::fromStdString(copy->fileName()),
                                imageExtensions_, ui_, this);
        return;
    }
    const std::string path = row.fullPath();
    if (platform().fileExists(path))
        TFormView::ShowFile(path, QString(), imageExtensions_, ui_, this);
}

}  // namespace kv
