#include "app/BookmarksDialog.h"

#include "app/Captions.h"
#include "hexview/AddressText.h"
#include "hexview/HexEditor.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace kestrum {

BookmarksDialog::BookmarksDialog(QWidget* parent, HexEditor& editor)
    : QDialog(parent)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("bookmarksDialog"));
    setWindowTitle(captionText(CaptionWindow::BookmarkList, "", 2));
    auto* column = new QVBoxLayout(this);
    auto* hint = new QLabel(captionText(CaptionWindow::BookmarkList, "bookmarksHintLabel", 2), this);
    hint->setObjectName(QStringLiteral("bookmarksHintLabel"));
    hint->setWordWrap(true);
    column->addWidget(hint);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("bookmarkList"));
    column->addWidget(m_list, 1);
    auto* row = new QHBoxLayout;
    const auto button = [this, row](const char* name, void (BookmarksDialog::*handler)()) {
        auto* b = new QPushButton(captionText(CaptionWindow::BookmarkList, name, 2), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        row->addWidget(b);
        return b;
    };
    button("goToBookmarkButton", &BookmarksDialog::goToChosen)->setDefault(true);
    button("removeBookmarkButton", &BookmarksDialog::removeChosen);
    button("clearBookmarksButton", &BookmarksDialog::clearAll);
    row->addStretch(1);
    button("closeButton", &BookmarksDialog::reject);
    column->addLayout(row);
    connect(m_list, &QListWidget::itemActivated, this, [this] { goToChosen(); });
    connect(&m_editor, &HexEditor::bookmarkChanged, this, [this] {
        if (isVisible())
            fill();
    });
}

void BookmarksDialog::start()
{
    fill();
    open();
    m_list->setFocus();
}

void BookmarksDialog::fill()
{
    const int chosen = chosenBookmark();
    m_list->clear();
    const Bookmarks& marks = m_editor.bookmarks();
    for (int i = 0; i < BookmarkCount; ++i) {
        if (marks[i].position < 0)
            continue;
        auto* item = new QListWidgetItem(QStringLiteral("%1    %2").arg(i).arg(addressText(marks[i].position)), m_list);
        item->setData(Qt::UserRole, i);
        if (i == chosen || m_list->count() == 1)
            m_list->setCurrentItem(item);
    }
}

int BookmarksDialog::chosenBookmark() const
{
    const QListWidgetItem* item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

void BookmarksDialog::goToChosen()
{
    const int index = chosenBookmark();
    if (index < 0)
        return;
    m_editor.gotoBookmark(index);
    accept();
}

void BookmarksDialog::removeChosen()
{
    const int index = chosenBookmark();
    if (index >= 0)
        m_editor.setBookmark(index, Bookmark {});
    fill();
}

void BookmarksDialog::clearAll()
{
    for (int i = 0; i < BookmarkCount; ++i)
        m_editor.setBookmark(i, Bookmark {});
    fill();
}

} // namespace kestrum
