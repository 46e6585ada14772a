#include "HexEditorTestSupport.h"

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kestrum::test {

namespace {

// The data as nibbles, high nibble first, and back: the model of the nibble edits.
QByteArray nibblesOf(const QByteArray& bytes)
{
    QByteArray nibbles;
    for (const char c : bytes) {
        nibbles.append(static_cast<char>(static_cast<quint8>(c) >> 4));
        nibbles.append(static_cast<char>(c & 0x0F));
    }
    return nibbles;
}

QByteArray bytesOf(const QByteArray& nibbles)
{
    QByteArray bytes;
    for (qsizetype i = 0; i + 1 < nibbles.size(); i += 2)
        bytes.append(static_cast<char>((nibbles[i] << 4) | nibbles[i + 1]));
    return bytes;
}

QMimeData* ownFormat(const QByteArray& bytes, QMimeData& data)
{
    QByteArray own(ClipboardMagic, 4);
    for (const quint32 value : {ClipboardVersion, static_cast<quint32>(bytes.size())})
        own.append(reinterpret_cast<const char*>(&value), 4);
    data.setData(QString::fromLatin1(OwnClipboardMime), own + bytes);
    return &data;
}

} // namespace

// Random overwrites, insertions, deletions, nibble edits, pastes, undos and redos in both modes,
// each checked against a plain byte array with its own undo history.
TEST(RandomEdits, MatchAPlainByteArrayAfterEveryOperation)
{
    std::mt19937 random(20231);
    const auto below = [&random](qint64 bound) { return bound <= 0 ? 0 : qint64(random() % quint64(bound)); };
    HexEditor editor;
    QByteArray model = patternBytes(200);
    load(editor, model);
    std::vector<QByteArray> history;
    std::optional<QByteArray> redo;
    std::vector<std::string> done;

    for (int step = 0; step < 2000; ++step) {
        const bool insertMode = below(2) == 1;
        editor.setInsertMode(insertMode);
        const qint64 size = model.size();
        const QByteArray bytes = patternBytes(static_cast<int>(1 + below(size < 40 ? 24 : 6)), static_cast<int>(step));
        const qint64 position = below(size);
        const qint64 count = 1 + below(std::min<qint64>(8, size - position));
        QByteArray next = model;
        std::string what;
        switch (below(size < 40 ? 5 : 8)) {
        case 0: // insertion anywhere, also at the end
            what = "insert " + std::to_string(bytes.size()) + " at " + std::to_string(below(size + 1));
            next.insert(std::stoll(what.substr(what.rfind(' ') + 1)), bytes);
            editor.insertBuffer(bytes.constData(), bytes.size(), std::stoll(what.substr(what.rfind(' ') + 1)));
            break;
        case 1: // a paste: replaces the selection in insert mode, else writes over the data
            what = "paste " + std::to_string(bytes.size()) + " over " + std::to_string(position) + "+"
                + std::to_string(count);
            editor.setSelStart(position);
            editor.setSelEnd(position + count - 1);
            if (insertMode)
                next.replace(position, count, bytes);
            else
                next.replace(position, std::min<qint64>(bytes.size(), size - position), bytes.left(size - position));
            {
                QMimeData data;
                editor.pasteFromMimeData(*ownFormat(bytes, data));
            }
            break;
        case 2:
            if (!history.empty()) {
                what = "undo";
                redo = model;
                next = history.back();
                history.pop_back();
                EXPECT_TRUE(editor.undo());
            }
            break;
        case 3:
            if (redo) {
                what = "redo";
                history.push_back(model);
                next = *redo;
                redo.reset();
                EXPECT_TRUE(editor.redo());
            }
            break;
        case 4: { // a nibble inserted, the data one byte longer
            const bool high = below(2) == 1;
            what = std::string("insert nibble at ") + std::to_string(position) + (high ? " high" : " low");
            QByteArray nibbles = nibblesOf(model);
            nibbles.insert(2 * position + (high ? 0 : 1), char(0));
            nibbles.append(char(0));
            next = size == 0 ? QByteArray(1, '\0') : bytesOf(nibbles);
            editor.insertNibble(position, high);
            break;
        }
        case 5: {
            const bool high = below(2) == 1;
            what = std::string("delete nibble at ") + std::to_string(position) + (high ? " high" : " low");
            QByteArray nibbles = nibblesOf(model);
            nibbles.remove(2 * position + (high ? 0 : 1), 1);
            nibbles.append(char(0));
            next = bytesOf(nibbles);
            editor.deleteNibble(position, high);
            break;
        }
        case 6:
            what = "overwrite " + std::to_string(bytes.size()) + " at " + std::to_string(position);
            next.replace(position, std::min<qint64>(bytes.size(), size - position), bytes.left(size - position));
            editor.overwriteBuffer(bytes.constData(), bytes.size(), position);
            break;
        default:
            what = "delete " + std::to_string(position) + "+" + std::to_string(count);
            editor.setSelStart(position);
            editor.setSelEnd(position + count - 1);
            next.remove(position, count);
            editor.deleteSelection();
            break;
        }
        if (what.empty())
            continue;
        if (what != "undo" && what != "redo") {
            history.push_back(model);
            redo.reset();
        }
        model = next;
        done.push_back((insertMode ? "[ins] " : "[ovr] ") + what + " -> " + std::to_string(editor.dataSize()) + "/"
            + std::to_string(model.size()) + " records " + std::to_string(editor.undoStorage().count()) + "/"
            + std::to_string(history.size()));
        const bool same
            = dataOf(editor) == model && editor.canUndo() == !history.empty() && editor.canRedo() == redo.has_value();
        if (!same) {
            std::string list;
            for (const std::string& operation : done)
                list += operation + "\n";
            FAIL() << "data " << (dataOf(editor) == model) << " undo " << editor.canUndo() << " redo "
                   << editor.canRedo() << " size " << editor.dataSize() << "/" << model.size() << " after operation "
                   << done.size() << ", " << done.back() << "; operations:\n"
                   << list;
        }
    }
}

} // namespace kestrum::test
