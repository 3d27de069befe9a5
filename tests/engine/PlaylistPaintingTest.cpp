// The painted playlist picture: visible rows, selection colour, the bold
// current entry and shortened long texts.
#include <QColor>

#include "engine/RowTextFit.h"
#include "tests/engine/EngineTest.h"

namespace {

int DarkPixels(const QImage& Picture, int Top, int Height) {
    int dark = 0;
    for (int y = Top; y < Top + Height; ++y)
        for (int x = 0; x < Picture.width(); ++x)
            if (qGray(Picture.pixel(x, y)) < 100) ++dark;
    return dark;
}

// Rightmost column with a dark pixel in a row band, -1 when none.
int RightmostInk(const QImage& Picture, int Top, int Height) {
    int right = -1;
    for (int y = Top; y < Top + Height; ++y)
        for (int x = 0; x < Picture.width(); ++x)
            if (qGray(Picture.pixel(x, y)) < 100) right = std::max(right, x);
    return right;
}

} // namespace

using PlaylistPaintingTest = EngineTest;

TEST_F(PlaylistPaintingTest, RowsSelectionAndBoldCurrentEntry) {
    engine->PaintPlayList();
    EXPECT_EQ(view.pictures, 0) << "an empty playlist paints nothing";

    for (int i = 0; i < 8; ++i) {
        engine->Paths.push_back("/x" + std::to_string(i));
        view.rows.push_back("Same text  (01:00)");
    }
    view.setTopRow(1);
    view.setSelectedRow(3);
    engine->CurrentIndex = 2;
    engine->PaintPlayList();
    ASSERT_EQ(view.pictures, 1);
    const QImage& picture = view.picture;
    ASSERT_EQ(picture.size(), QSize(401, 102));

    // Row 3 is the third visible row (y 32..47), on the selection colour.
    EXPECT_EQ(QColor(picture.pixel(400, 32 + 8)).rgb() & 0xFFFFFF, 0x61ACDEu);
    EXPECT_EQ(QColor(picture.pixel(400, 16 + 8)).rgb() & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(QColor(picture.pixel(400, 100)).rgb() & 0xFFFFFF, 0xFFFFFFu) << "white below the six rows";
    // The current entry (second visible row) is drawn bold: more ink.
    const int bold = DarkPixels(picture, 16, 16);
    const int regular = DarkPixels(picture, 0, 16);
    EXPECT_GT(regular, 0);
    EXPECT_GT(bold, regular * 11 / 10);
    EXPECT_EQ(DarkPixels(picture, 96, 6), 0) << "at most six rows";

    engine->CurrentIndex = -1;
    engine->PaintPlayList();
    EXPECT_EQ(DarkPixels(view.picture, 16, 16), regular) << "no bold row without a current entry";
}

TEST_F(PlaylistPaintingTest, LongTextsAreShortenedKeepingTheirEnd) {
    const QFontMetrics metrics(PlayListRowFont(false));
    const QString longText = QString("A very long artist name - and an even longer title of the song").repeated(2) +
                             "  (03:05)";
    const QString fitted = FitRowText(longText, metrics, 371);
    EXPECT_TRUE(fitted.endsWith(".. (03:05)")) << fitted.toStdString();
    EXPECT_TRUE(longText.startsWith(fitted.left(fitted.size() - 10)));
    EXPECT_LT(metrics.horizontalAdvance(fitted), 371);
    const QString oneLonger = longText.left(fitted.size() - 9) + ".. (03:05)";
    EXPECT_GE(metrics.horizontalAdvance(oneLonger), 371) << "the longest head that fits";
    EXPECT_EQ(FitRowText("Short  (00:10)", metrics, 371), "Short  (00:10)");
    // A limit that nothing fits ends with the shortest form instead of looping.
    EXPECT_EQ(FitRowText("Short  (00:10)", metrics, 1), ".. (00:10)");
    EXPECT_EQ(FitRowText("12345678", metrics, 1), "12345678");

    engine->Paths = {"/a", "/b"};
    view.rows = {longText.toStdString(), "Short  (00:10)"};
    engine->PaintPlayList();
    EXPECT_LT(RightmostInk(view.picture, 0, 16), 401 - 30 + 2);
    EXPECT_GT(RightmostInk(view.picture, 0, 16), 300);
}
