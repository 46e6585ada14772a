// The chooser of detection: rows and columns as given, the preselected row current, a choice
// taken by OK, Enter or a double click, dropped by Cancel or Esc.
#include "app/ChooserDialog.h"
#include "tests/support/FormChild.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

UserInterface::Choice threeChips()
{
    UserInterface::Choice c;
    c.title = QStringLiteral("Choose the chip");
    c.text = QStringLiteral("3 chips answer ID EF 40 18.");
    c.columns = {QStringLiteral("Manufacturer"), QStringLiteral("Name")};
    c.rows = {{QStringLiteral("Winbond"), QStringLiteral("W25Q128JV")},
        {QStringLiteral("Winbond"), QStringLiteral("W25Q128FV")},
        {QStringLiteral("Winbond"), QStringLiteral("W25Q128BV")}};
    c.preselected = 1;
    c.accept = QStringLiteral("OK");
    c.cancel = QStringLiteral("Abbrechen");
    return c;
}

} // namespace

TEST(ChooserDialog, ShowsTheRowsWithThePreselectedOneCurrentAndTakesTheChoice)
{
    ChooserDialog dialog(threeChips(), nullptr);
    auto& list = *child<QTreeWidget>(dialog, "ChooserList");
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("Name"));
    EXPECT_EQ(list.topLevelItem(2)->text(1), QStringLiteral("W25Q128BV"));
    EXPECT_EQ(dialog.chosenRow(), 1);
    EXPECT_EQ(child<QPushButton>(dialog, "ChooserCancel")->text(), QStringLiteral("Abbrechen"));
    UserInterface::Choice none = threeChips();
    none.preselected = -1; // chips of different supplies: only the user's own pick counts
    ChooserDialog unchosen(none, nullptr);
    EXPECT_FALSE(child<QPushButton>(unchosen, "ChooserOk")->isEnabled() || unchosen.chosenRow() >= 0);

    // Down, then Enter: the third row.
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyEvent(QTest::Click, &list, Qt::Key_Down);
        QTest::keyEvent(QTest::Click, &list, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenRow(), 2);

    QTimer::singleShot(0, &dialog, [&] { QTest::keyEvent(QTest::Click, &list, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}
