#include "HexEditorViewTestSupport.h"

#include <QPalette>

#include <cmath>
#include <map>
#include <string_view>

namespace kestrum::test {

namespace {

// The WCAG 2 contrast ratio, computed here independently of the view.
double contrastOf(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int value) {
            const double c = value / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text in a rectangle: its most common colour is the background, and the pixel that stands
// out most from it is the text. Gives the two colours.
std::pair<QRgb, QRgb> textAndBackground(const QImage& image, const QRect& rect)
{
    std::map<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000U];
    QRgb background = 0;
    int most = 0;
    for (const auto& [rgb, count] : counts) {
        if (count > most) {
            most = count;
            background = rgb;
        }
    }
    QRgb text = background;
    for (const auto& [rgb, count] : counts)
        if (contrastOf(rgb, background) > contrastOf(text, background))
            text = rgb;
    return {text, background};
}

double textContrast(const QImage& image, const QRect& rect)
{
    const auto [text, background] = textAndBackground(image, rect);
    return contrastOf(text, background);
}

QPalette darkPalette()
{
    QPalette palette;
    const QColor text(0xE6, 0xE6, 0xE6);
    for (auto [role, color] : {std::pair {QPalette::Window, QColor(0x2D, 0x2D, 0x2D)}, {QPalette::WindowText, text},
             {QPalette::Base, QColor(0x1E, 0x1E, 0x1E)}, {QPalette::Text, text},
             {QPalette::Button, QColor(0x35, 0x35, 0x35)}, {QPalette::ButtonText, text},
             {QPalette::Dark, QColor(0x18, 0x18, 0x18)}, {QPalette::Light, QColor(0x5A, 0x5A, 0x5A)},
             {QPalette::Highlight, QColor(0x2A, 0x6A, 0xB0)}})
        palette.setColor(role, color);
    return palette;
}

} // namespace

TEST_F(ViewTest, DigitsCharactersOffsetsAndChangedBytesReadInLightAndDarkPalettes)
{
    useCrispFont();
    unfocus(); // no caret over the cells
    QByteArray bytes(64, 'A');
    bytes[0] = 0;
    bytes[2] = 0x22;
    load(view.editor(), bytes);
    view.editor().changeByte(0x41, 0x88, 1);
    view.editor().setSelStart(16);
    view.editor().setSelEnd(21);
    const std::pair<const char*, QRect> places[] = {
        {"hex digit of byte 0 (odd column group)", box(GridCell {2, 2})},
        {"hex digit of byte 2 (even column group)", box(GridCell {6, 2})},
        {"character", box(view.editor().cellAtPosition(3, true))},
        {"offset of the cursor's row", view.cellRect(GridCell {0, 2})},
        {"offset of another row", view.cellRect(GridCell {0, 3})},
        {"changed byte", box(GridCell {4, 2})},
        {"selected hex digit (odd column group)", box(GridCell {2, 3})},
        {"selected hex digit (even column group)", box(GridCell {6, 3})},
        {"selected character", box(view.editor().cellAtPosition(17, true))},
    };
    for (const auto& [name, palette] : {std::pair {"light", QPalette()}, {"dark", darkPalette()}}) {
        view.setPalette(palette);
        const QImage image = snapshot();
        for (const auto& [what, rect] : places)
            EXPECT_GE(textContrast(image, rect), 4.5) << what << " in the " << name << " palette";
        // Neighbouring column groups keep colours of their own, selected or not.
        for (const int row : {2, 3}) {
            const QRgb odd = textAndBackground(image, box(GridCell {2, row})).first;
            const QRgb even = textAndBackground(image, box(GridCell {6, row})).first;
            EXPECT_GE(contrastOf(odd, even), 1.5) << "column groups of row " << row << " in the " << name << " palette";
        }
        if (std::string_view(name) == "light") {
            // There the given colours read and stay.
            EXPECT_GT(countColor(image, places[0].second, 0x0000FF), 0) << "blue digits";
            EXPECT_GT(countColor(image, places[1].second, 0x000080), 0) << "navy digits";
            EXPECT_GT(countColor(image, places[5].second, 0x800000), 0) << "maroon changed digits";
        }
    }
}

TEST_F(ViewTest, AColourThatDoesNotReadMovesAwayFromItsBackgroundAndKeepsItsHue)
{
    useCrispFont();
    unfocus();
    load(view.editor(), QByteArray(64, 'A'));
    // The blue digits read on neither: they grow lighter on the dark base, darker on the mid grey one.
    QPalette grey;
    grey.setColor(QPalette::Base, QColor(0x90, 0x90, 0x90));
    for (const auto& [name, palette, lighter] :
        {std::tuple {"dark", darkPalette(), true}, std::tuple {"grey", grey, false}}) {
        view.setPalette(palette);
        const QColor text = QColor::fromRgb(textAndBackground(snapshot(), box(GridCell {2, 2})).first);
        EXPECT_GT(text.blue() - std::max(text.red(), text.green()), 0x20) << name << ": still blue";
        EXPECT_EQ(text.lightness() > 127, lighter) << name;
    }
}

} // namespace kestrum::test
