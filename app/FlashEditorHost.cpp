#include "app/FlashEditorHost.h"

#include "hexview/MPHexEditorView.h"

#include <QFont>
#include <QVBoxLayout>

namespace kestrum {

struct FlashEditorHost::Impl
{
    MPHexEditorView* view = nullptr;
    QString positionText;
};

FlashEditorHost::FlashEditorHost(QWidget* parent)
    : QWidget(parent)
    , d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("FlashEditor"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->view = new MPHexEditorView(this);
    d->view->setObjectName(QStringLiteral("FlashEditorView"));
    // The main window's view settings; everything else keeps the control's defaults.
    TMPHexEditorEx& editor = d->view->editor();
    editor.SetBytesPerRow(16);
    editor.SetOffsetFormat(QStringLiteral("-!10:0x|"));
    editor.SetShowRuler(true);
    layout->addWidget(d->view);
    setFocusProxy(d->view);
    d->positionText = editor.GetPositionText();
    // Every change of what the view shows may move the cursor, the selection or the mode.
    connect(&editor, &TCustomMPHexEditor::invalidated, this, [this] {
        const QString text = d->view->editor().GetPositionText();
        if (text == d->positionText)
            return;
        d->positionText = text;
        Q_EMIT positionTextChanged(text);
    });
}

FlashEditorHost::~FlashEditorHost() = default;

void FlashEditorHost::loadFrom(QIODevice& stream)
{
    d->view->editor().LoadFromStream(stream);
    d->view->viewport()->update();
}

bool FlashEditorHost::isModified() const
{
    return d->view->editor().GetModified();
}

qint64 FlashEditorHost::dataSize() const
{
    return d->view->editor().GetDataSize();
}

void FlashEditorHost::readBytes(void* destination, qint64 position, qint64 count)
{
    d->view->editor().ReadBuffer(destination, position, count);
}

void FlashEditorHost::setModified(bool modified)
{
    d->view->editor().SetModified(modified);
    d->view->viewport()->update();
}

TMPHexEditorEx& FlashEditorHost::editor() const
{
    return d->view->editor();
}

QString FlashEditorHost::positionText() const
{
    return d->positionText;
}

} // namespace kestrum
