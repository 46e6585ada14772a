#include "app/AboutBox.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kestrum {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picturePanel"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    auto* inner = new QVBoxLayout(panel);
    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(QIcon(QStringLiteral(":/icons/kestrum.svg")).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QStringLiteral("Kestrum Version 2.0"), panel);
    version->setObjectName(QStringLiteral("Version"));
    version->setAlignment(Qt::AlignCenter);
    auto* notice = new QLabel(QStringLiteral("Copyright \u00A9 2026 the Kestrum developers. Free software under the "
                                             "GNU General Public License, version 3 or later."),
        panel);
    notice->setObjectName(QStringLiteral("Copyright"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    inner->addWidget(picture);
    inner->addWidget(version);
    inner->addWidget(notice);
    layout->addWidget(panel);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    // A fixed dialog: the width is set, the height follows from the wrapped notice line.
    setFixedWidth(320);
    setFixedHeight(heightForWidth(320));
}

void AboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, wherever the main window stands.
    if (event->spontaneous())
        return;
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace kestrum
