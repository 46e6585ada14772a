#include "hexview/EditorSearch.h"

#include "hexview/HexEditor.h"

#include <algorithm>

namespace kestrum {

namespace {

const char* dataOf(const HexEditor& editor)
{
    return editor.dataStorage().memory();
}

void selectMatch(HexEditor& editor, qint64 position, qint64 count)
{
    editor.setSelStart(position);
    editor.setSelEnd(position + count - 1);
}

bool selectionIsMatch(const HexEditor& editor, const SearchPattern& pattern)
{
    if (!editor.hasSelection() || editor.selCount() != pattern.size())
        return false;
    return pattern.next(dataOf(editor), editor.selectionLow() + pattern.size(), editor.selectionLow())
        == editor.selectionLow();
}

} // namespace

FindResult findInEditor(HexEditor& editor, const SearchPattern& pattern, bool backwards)
{
    FindResult result;
    if (pattern.isEmpty())
        return result;
    const char* data = dataOf(editor);
    const qint64 size = editor.dataSize();
    if (backwards) {
        const qint64 before = editor.hasSelection() ? editor.selectionLow() : editor.cursorPosition();
        result.position = pattern.previous(data, size, before);
        if (result.position < 0) {
            result.position = pattern.previous(data, size, size);
            result.wrapped = result.position >= 0;
        }
    } else {
        const qint64 from = editor.hasSelection() ? editor.selectionLow() + 1 : editor.cursorPosition();
        result.position = pattern.next(data, size, from);
        if (result.position < 0) {
            result.position = pattern.next(data, size, 0);
            result.wrapped = result.position >= 0;
        }
    }
    if (result.position >= 0)
        selectMatch(editor, result.position, pattern.size());
    return result;
}

ReplaceRefusal replacementRefusal(const HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement)
{
    if (editor.isReadOnlyView())
        return ReplaceRefusal::ReadOnly;
    const bool sizeMayChange = editor.insertMode() && !editor.noSizeChange();
    if (replacement.size() != pattern.size() && !sizeMayChange)
        return ReplaceRefusal::SizeChange;
    return ReplaceRefusal::None;
}

FindResult replaceInEditor(HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement,
    const QString& description)
{
    if (replacementRefusal(editor, pattern, replacement) != ReplaceRefusal::None)
        return {};
    if (selectionIsMatch(editor, pattern)) {
        const qint64 at = editor.selectionLow();
        if (replacement.size() == pattern.size())
            editor.overwriteBuffer(replacement.constData(), replacement.size(), at, description);
        else
            editor.replaceSelection(replacement.constData(), replacement.size(), description);
        // On from the end of the replacement, so that it is not found again.
        editor.seek(std::min(at + replacement.size(), std::max<qint64>(editor.dataSize() - 1, 0)), 0);
    }
    return findInEditor(editor, pattern, false);
}

qint64 replaceAllInEditor(HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement,
    const QString& describe)
{
    if (pattern.isEmpty() || replacementRefusal(editor, pattern, replacement) != ReplaceRefusal::None)
        return 0;
    qint64 replaced = 0;
    const qint64 size = editor.dataSize();
    QByteArray result = pattern.replaced(dataOf(editor), size, replacement, &replaced);
    if (replaced == 0)
        return 0;
    const qint64 cursor = editor.cursorPosition();
    editor.undoBeginUpdate(describe.arg(replaced));
    try {
        if (result.size() != size)
            editor.setDataSize(result.size());
        editor.writeBuffer(result.constData(), 0, result.size());
    } catch (...) {
        editor.undoEndUpdate();
        throw;
    }
    editor.undoEndUpdate();
    editor.seek(std::min(cursor, std::max<qint64>(result.size() - 1, 0)), 0);
    return replaced;
}

} // namespace kestrum
