#include "app/FlashEditorHost.h"

#include "hexview/HexEditorView.h"

#include <QFont>
#include <QVBoxLayout>

namespace kestrum {

struct FlashEditorHost::Impl
{
    HexEditorView* view = nullptr;
    QString positionText;
};

FlashEditorHost::FlashEditorHost(QWidget* parent)
    : QWidget(parent)
    , d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("hexView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->view = new HexEditorView(this);
    d->view->setObjectName(QStringLiteral("hexViewWidget"));
    // The main window's view settings; everything else keeps the control's defaults.
    HexEditor& editor = d->view->editor();
    editor.setBytesPerRow(16);
    editor.setOffsetFormat(QStringLiteral("-!10:0x|"));
    editor.setShowRuler(true);
    layout->addWidget(d->view);
    setFocusProxy(d->view);
    d->positionText = editor.positionText();
    // Every change of what the view shows may move the cursor, the selection or the mode.
    connect(&editor, &HexEditor::invalidated, this, [this] {
        const QString text = d->view->editor().positionText();
        if (text == d->positionText)
            return;
        d->positionText = text;
        Q_EMIT positionTextChanged(text);
    });
}

FlashEditorHost::~FlashEditorHost() = default;

void FlashEditorHost::loadFrom(QIODevice& stream)
{
    d->view->editor().loadFromStream(stream);
    d->view->viewport()->update();
}

bool FlashEditorHost::isModified() const
{
    return d->view->editor().isModified();
}

qint64 FlashEditorHost::dataSize() const
{
    return d->view->editor().dataSize();
}

void FlashEditorHost::readBytes(void* destination, qint64 position, qint64 count)
{
    d->view->editor().readBuffer(destination, position, count);
}

void FlashEditorHost::setModified(bool modified)
{
    d->view->editor().setModified(modified);
    d->view->viewport()->update();
}

HexEditor& FlashEditorHost::editor() const
{
    return d->view->editor();
}

QString FlashEditorHost::positionText() const
{
    return d->positionText;
}

} // namespace kestrum
