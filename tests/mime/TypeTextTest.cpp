#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <string>
#include <vector>

#include "mime/TypeText.h"

namespace kv {
namespace {

// The tests run in the C locale: French texts show the provider asks for
// French itself rather than taking the locale's language.
TEST(TypeText, FrenchCommentOfTheTypeOfTheNameWhateverTheLocale) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"C:\\Docs\\lettre.txt", "document texte brut"},
        {"C:\\Docs\\LETTRE.TXT", "document texte brut"},  // extensions match in any case
        {"lettre.txt", "document texte brut"},
        {"C:\\Docs\\sans extension", "inconnu"},  // the database's default type
    };
    for (const auto& [path, text] : rows) {
        SCOPED_TRACE(path);
        EXPECT_EQ(TypeTextOf(path), text);
    }
}

TEST(TypeText, FolderListsAndTheCatalogShareTheText) {
    const QMimeDatabase database;
    EXPECT_EQ(TypeTextOfMime(database.mimeTypeForName("inode/directory")).toStdString(), "dossier");
    EXPECT_EQ(TypeTextOfMime(database.mimeTypeForFile("a.txt", QMimeDatabase::MatchExtension))
                  .toStdString(),
              TypeTextOf("C:\\a.txt"));
    EXPECT_TRUE(TypeTextOfMime(QMimeType()).isEmpty());
}

}  // namespace
}  // namespace kv
