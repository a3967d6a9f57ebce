// The print options dialog: the page counts it announces, which choice it
// makes, its help button.

#include <gtest/gtest.h>

#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "dialogs/TFormPrint.h"
#include "support/RecordingUi.h"

namespace {

struct CountCase {
    const char* name;
    std::size_t rows, selected;
    const char* all;
    const char* selection;
    bool selectionChosen;
};

class PrintCounts : public testing::TestWithParam<CountCase> {};

TEST_P(PrintCounts, AnnouncePagesOfSixtyFourRows) {
    const CountCase& c = GetParam();
    kv::test::RecordingUi ui;
    QPrinter printer;
    kv::TFormPrint form(ui, printer);
    form.prepare(c.rows, c.selected);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Options pour l'impression"));
    EXPECT_EQ(form.radioTout()->text(), QString::fromUtf8(c.all));
    EXPECT_EQ(form.radioSelect()->text(), QString::fromUtf8(c.selection));
    EXPECT_EQ(form.radioSelect()->isEnabled(), c.selected > 0);
    EXPECT_EQ(form.selectionChosen(), c.selectionChosen);
    EXPECT_EQ(form.radioTout()->isChecked(), !c.selectionChosen);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintCounts,
    testing::Values(
        CountCase{"SixtyFour", 64, 0, "Imprimer toute la liste ( 1 page(s) nécessaire(s) )",
                  "Imprimer la sélection ", false},
        CountCase{"SixtyFive", 65, 0, "Imprimer toute la liste ( 2 page(s) nécessaire(s) )",
                  "Imprimer la sélection ", false},
        CountCase{"Selection", 200, 65, "Imprimer toute la liste ( 4 page(s) nécessaire(s) )",
                  "Imprimer la sélection ( 2 page(s) nécessaire(s) )", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TFormPrint, OneChoiceClearsTheOtherAndHelpWarnsWhenMissing) {
    kv::test::RecordingUi ui;
    QPrinter printer;
    kv::TFormPrint form(ui, printer);
    form.prepare(10, 3);
    form.show();
    QTest::mouseClick(form.radioTout(), Qt::LeftButton, {},
                      QPoint(6, form.radioTout()->height() / 2));
    EXPECT_FALSE(form.radioSelect()->isChecked());
    EXPECT_FALSE(form.selectionChosen());
    EXPECT_TRUE(form.buttonOk()->isDefault());

    QTest::mouseClick(form.buttonHelp(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Le fichier d'aide de Korvelt est introuvable");
}

}  // namespace
