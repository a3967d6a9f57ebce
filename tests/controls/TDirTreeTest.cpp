// The directory tree over a temporary drive map: which drives and folders it
// shows, in which order, where navigation lands, and how it follows media and
// drives that change.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "controls/DesktopShares.h"
#include "controls/TDirTree.h"
#include "tests/support/FaultPlatform.h"
#include "util/Error.h"

namespace kv {
namespace {

class DirTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fp.install();
        fp.setCurrentDrive('C');
    }

    // A tree set up as a form would load it, moved to a folder.
    std::unique_ptr<TDirTree> makeTree(TDirTypes dirTypes = DefaultDirTypes,
                                       TDriveTypes driveTypes = AllDriveTypes,
                                       bool belowRecycle = false) {
        auto tree = std::make_unique<TDirTree>();
        tree->setDirTypes(dirTypes);
        tree->setDriveTypes(driveTypes);
        tree->setGoBelowRecycleBin(belowRecycle);
        tree->setInitialDirectory(QStringLiteral("C:\\"));
        tree->Loaded();
        return tree;
    }

    static QStringList rootPaths(TDirTree& tree) {
        QStringList paths;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            paths << TDirTree::EntryOf(tree.topLevelItem(i))->Path;
        return paths;
    }

    // Captions of the real children of a node, after listing it.
    static QStringList childCaptions(TDirTree& tree, QTreeWidgetItem* node) {
        tree.ListChildren(node);
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i)
            if (TDirTree::EntryOf(node->child(i))) names << node->child(i)->text(0);
        return names;
    }

    test::TempDrives drives;
    test::FaultPlatform fp;
};

TEST_F(DirTreeTest, DrivesInLetterOrderFilteredByDriveTypesExceptNoRoot) {
    drives.add('E', DriveType::CdRom, "CDROM", 0x1234);
    drives.add('D', DriveType::Removable, "CLE", 0x5678);
    drives.add('F', DriveType::Fixed, "DATA", 0x9ABC);
    drives.add('G', DriveType::Fixed, "", 0x1111);
    fp.setDriveType('G', DriveType::NoRootDir);

    auto all = makeTree();
    EXPECT_EQ(rootPaths(*all), (QStringList{"C:\\", "D:\\", "E:\\", "F:\\", "G:\\"}));
    EXPECT_EQ(all->topLevelItem(0)->text(0), QStringLiteral("SYSTEME (C:)"));

    auto fixedOnly = makeTree(DefaultDirTypes, driveTypeBit(drtFixed));
    EXPECT_EQ(rootPaths(*fixedOnly), (QStringList{"C:\\", "F:\\", "G:\\"}));

    auto none = makeTree(DefaultDirTypes, 0);
    EXPECT_EQ(rootPaths(*none), (QStringList{"G:\\"}));
    // Changing the filter resynchronises in letter place.
    none->setDriveTypes(driveTypeBit(drtCDRom) | driveTypeBit(drtFixed));
    EXPECT_EQ(rootPaths(*none), (QStringList{"C:\\", "E:\\", "F:\\", "G:\\"}));
}

struct RecycleCase {
    const char* path;
    bool below;  // GoBelowRecycleBin
    bool accepted;
};

class RecycleRule : public DirTreeTest, public ::testing::WithParamInterface<RecycleCase> {};

TEST_P(RecycleRule, HidesWhatLiesBelowTheRecycleFolders) {
    auto tree = makeTree(DefaultDirTypes, AllDriveTypes, GetParam().below);
    EXPECT_EQ(tree->AcceptFolder(QString::fromUtf8(GetParam().path)), GetParam().accepted)
        << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths, RecycleRule,
                         ::testing::Values(RecycleCase{"C:\\RECYCLED\\", false, true},
                                           RecycleCase{"C:\\recycler\\", false, true},
                                           RecycleCase{"C:\\RECYCLED\\S-1-5\\", false, false},
                                           RecycleCase{"C:\\Recycler\\S-1-5\\", false, false},
                                           RecycleCase{"C:\\A\\RECYCLED\\B\\", false, false},
                                           RecycleCase{"C:\\RECYCLEDX\\B\\", false, true},
                                           RecycleCase{"C:\\RECYCLED\\S-1-5\\", true, true},
                                           RecycleCase{"C:\\recycler\\x\\", true, true}));

TEST_F(DirTreeTest, RecycleFoldersShownTheirContentHidden) {
    drives.makeFolder("C:\\RECYCLED\\SUB");
    drives.makeFolder("C:\\recycler\\sub2");
    auto tree = makeTree();
    QTreeWidgetItem* c = tree->FindNode("C:\\");
    ASSERT_TRUE(c);
    EXPECT_EQ(childCaptions(*tree, c), (QStringList{"Korvelt", "RECYCLED", "recycler", "Temp"}));
    EXPECT_TRUE(childCaptions(*tree, tree->FindNode("C:\\RECYCLED\\")).isEmpty());
    // No placeholder either: nothing below it counts.
    tree->ProbeChildren(tree->FindNode("C:\\RECYCLER\\"));
    EXPECT_EQ(tree->FindNode("C:\\RECYCLER\\")->childCount(), 0);

    tree->setGoBelowRecycleBin(true);
    tree->setDirectory("C:\\RECYCLED\\");
    EXPECT_EQ(childCaptions(*tree, tree->FindNode("C:\\RECYCLED\\")), QStringList{"SUB"});
}

TEST_F(DirTreeTest, DirTypesDecideWhichFoldersShow) {
    drives.makeFolder("C:\\Docs");
    drives.makeFolder("C:\\.cache");
    struct Case {
        TDirTypes types;
        QStringList expected;
    } cases[] = {
        {0, {}},
        {dirTypeBit(dtNormal), {"Docs", "Korvelt", "Temp"}},
        {dirTypeBit(dtNormal) | dirTypeBit(dtReadOnly), {"Docs", "Korvelt", "Temp"}},
        {dirTypeBit(dtHidden), {".cache"}},
        {dirTypeBit(dtNormal) | dirTypeBit(dtHidden), {".cache", "Docs", "Korvelt", "Temp"}},
        {dirTypeBit(dtAll), {".cache", "Docs", "Korvelt", "Temp"}},
    };
    for (const Case& c : cases) {
        auto tree = makeTree(c.types);
        EXPECT_EQ(childCaptions(*tree, tree->FindNode("C:\\")), c.expected) << "types " << c.types;
    }
}

TEST_F(DirTreeTest, SubfoldersInCaseInsensitiveOrderWhateverTheListingOrder) {
    for (const char* name : {"zeta", "Alpha", "beta", "Gamma"})
        drives.makeFolder(std::string("C:\\Box\\") + name);
    auto tree = makeTree();
    tree->setDirectory("C:\\BOX\\");
    EXPECT_EQ(childCaptions(*tree, tree->FindNode("C:\\BOX\\")),
              (QStringList{"Alpha", "beta", "Gamma", "zeta"}));

    // A replacement enumeration that delivers the names backwards.
    const QStringList backwards{"zeta", "Gamma", "beta", "Alpha"};
    int delivered = 0;
    QObject::connect(tree.get(), &TDirTree::OnFindDir,
                     [&](const QString& path, TDirRec& rec, int& result, bool first) {
                         if (first) delivered = 0;
                         if (path != u"C:\\BOX\\" || delivered >= backwards.size()) {
                             result = 18;
                             return;
                         }
                         rec.Name = backwards[delivered++];
                         rec.Attr = attr::Directory;
                         result = 0;
                     });
    QTreeWidgetItem* box = tree->FindNode("C:\\BOX\\");
    tree->ResetNode(box);
    EXPECT_EQ(childCaptions(*tree, box), (QStringList{"Alpha", "beta", "Gamma", "zeta"}));
    EXPECT_EQ(TDirTree::EntryOf(box->child(0))->Path, QStringLiteral("C:\\BOX\\ALPHA\\"));
}

TEST_F(DirTreeTest, NavigationAndItsFailures) {
    drives.makeFolder("C:\\Docs\\Lettres");
    drives.add('D', DriveType::Removable, "CLE", 0x5678);
    drives.makeFolder("D:\\Photos");
    auto tree = makeTree(DefaultDirTypes, driveTypeBit(drtFixed));
    QStringList changes;
    QObject::connect(tree.get(), &TDirTree::OnChange, [&](QTreeWidgetItem* node) {
        changes << (TDirTree::EntryOf(node) ? TDirTree::EntryOf(node)->Path : QStringLiteral("-"));
    });

    // The node keeps its path upper-cased; what the tree hands out is the
    // folder as the disk spells it.
    tree->setDirectory("c:\\docs\\lettres");
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\Docs\\Lettres\\"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Lettres"));
    EXPECT_TRUE(tree->FindNode("C:\\DOCS\\")->isExpanded());
    EXPECT_EQ(tree->LastFolder('C'), QStringLiteral("C:\\DOCS\\LETTRES\\"));
    EXPECT_EQ(changes, QStringList{"C:\\DOCS\\LETTRES\\"});

    try {
        tree->setDirectory("");
        ADD_FAILURE() << "an empty path must be refused";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Invalid Path Name");
    }
    tree->setDirectory("?");
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\Docs\\Lettres\\"));

    // A folder on a drive the tree doesn't show: the selection stays.
    tree->setDirectory("D:\\Photos");
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\Docs\\Lettres\\"));

    // A folder made after its parent was listed is found all the same.
    drives.makeFolder("C:\\Docs\\Nouveau");
    changes.clear();
    tree->setDirectory("C:\\Docs\\Nouveau\\");
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\Docs\\Nouveau\\"));
    EXPECT_EQ(changes, QStringList{"C:\\DOCS\\NOUVEAU\\"});

    // A missing folder: the root of the current drive.
    tree->setDirectory("C:\\Nowhere\\Else");
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\"));
}

TEST_F(DirTreeTest, ExchangedMediumResetsItsDriveNode) {
    drives.add('D', DriveType::Removable, "CLE", 0x5678);
    drives.makeFolder("D:\\Photos\\2024");
    auto tree = makeTree();
    QTreeWidgetItem* d = tree->FindNode("D:\\");
    ASSERT_TRUE(d);
    tree->setDirectory("D:\\Photos\\");
    EXPECT_EQ(tree->Directory(), QStringLiteral("D:\\Photos\\"));
    EXPECT_EQ(tree->StoredSerial('D'), 0x5678);

    int clicks = 0;
    QObject::connect(tree.get(), &TDirTree::OnClick, [&] { ++clicks; });
    emit tree->itemClicked(tree->currentItem(), 0);
    EXPECT_EQ(clicks, 1);

    fp.changeMedium('D', 0x11112222, "AUTRE");
    QStringList changes;
    QObject::connect(tree.get(), &TDirTree::OnChange,
                     [&](QTreeWidgetItem* node) { changes << TDirTree::EntryOf(node)->Path; });
    emit tree->itemClicked(tree->currentItem(), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(tree->StoredSerial('D'), 0x11112222);
    EXPECT_EQ(tree->Directory(), QStringLiteral("D:\\"));
    EXPECT_FALSE(TDirTree::EntryOf(d)->Listed);
    ASSERT_EQ(d->childCount(), 1);
    EXPECT_EQ(TDirTree::EntryOf(d->child(0)), nullptr);  // a placeholder, read afresh on expansion
    EXPECT_EQ(changes, QStringList{"D:\\"});
    EXPECT_EQ(tree->LastFolder('D'), QStringLiteral("D:\\"));
}

TEST_F(DirTreeTest, DeviceChangesFollowDrivesAndMedia) {
    drives.add('E', DriveType::Fixed, "E", 0xE);
    auto tree = makeTree();
    tree->setDirectory("C:\\Temp");
    int changes = 0;
    QObject::connect(tree.get(), &TDirTree::OnChange, [&] { ++changes; });

    drives.add('D', DriveType::Fixed, "NOUVEAU", 0xD);
    tree->DeviceChange();
    EXPECT_EQ(rootPaths(*tree), (QStringList{"C:\\", "D:\\", "E:\\"}));
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("NOUVEAU (D:)"));
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\Temp\\"));
    EXPECT_GE(changes, 1);

    drives.remove('E');
    tree->DeviceChange();
    EXPECT_EQ(rootPaths(*tree), (QStringList{"C:\\", "D:\\"}));

    // No drive came or went: the medium check renews the changed drive's caption.
    fp.changeMedium('D', 0xDD, "AUTRE");
    const int before = changes;
    tree->DeviceChange();
    EXPECT_EQ(tree->StoredSerial('D'), 0xDD);
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("AUTRE (D:)"));
    EXPECT_EQ(changes, before + 1);
}

TEST_F(DirTreeTest, ClearedTreeHasNoDirectory) {
    auto tree = makeTree();
    EXPECT_EQ(tree->Directory(), QStringLiteral("C:\\"));
    int deleted = 0;
    QObject::connect(tree.get(), &TDirTree::OnDeleteItem, [&] { ++deleted; });
    tree->ClearTree();
    EXPECT_EQ(tree->Directory(), QStringLiteral("?"));
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_GE(deleted, 1);
}

// Gives the test the tree's drop handler, as the shell's drop message reaches it.
struct DropTarget : TDirTree {
    using TDirTree::dropEvent;
};

TEST_F(DirTreeTest, ShellDropsOnAFolderNode) {
    drives.writeFile("C:\\in\\a.txt", "a");
    auto tree = std::make_unique<DropTarget>();
    tree->Loaded();
    tree->setAcceptDropFiles(true);
    tree->resize(300, 300);
    tree->show();
    struct Drop {
        QString dir;
        QStringList files;
    };
    std::vector<Drop> drops;
    QObject::connect(
        tree.get(), &TDirTree::OnDropFiles,
        [&](int, int, const QString& dir, const QStringList& files, Qt::KeyboardModifiers) {
            drops.push_back({dir, files});
        });
    auto drop = [&](const QPoint& at, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        tree->dropEvent(&event);
    };
    const QPoint onDrive = tree->visualItemRect(tree->topLevelItem(0)).center();
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(drives.hostPath("C:\\in\\a.txt")));

    drop(onDrive, {file});
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].dir, QStringLiteral("C:\\"));
    EXPECT_EQ(drops[0].files, QStringList{"C:\\in\\a.txt"});

    drop(onDrive, {QUrl::fromLocalFile("/")});  // outside the drive map: no names
    drop(QPoint(5, 290), {file});               // below every node
    EXPECT_EQ(drops.size(), 1u);
}

TEST(DesktopShares, ReadsUserShareDefinitions) {
    EXPECT_EQ(DesktopShares::parsePaths(
                  "#VERSION 2\npath=/home/u/Public/\ncomment=\nusershare_acl=S-1-1-0:R\n"),
              QSet<QString>{"/home/u/Public"});
    EXPECT_EQ(DesktopShares::parsePaths("[a]\r\npath=/srv/a\r\n[b]\r\npath=/srv/b\r\n"),
              (QSet<QString>{"/srv/a", "/srv/b"}));
    const DesktopShares none(QStringLiteral("/nonexistent/usershares"));
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(none.isShared("/srv/a"));
}

}  // namespace
}  // namespace kv
