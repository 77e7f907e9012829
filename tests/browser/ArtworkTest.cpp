#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>

namespace vemo {
namespace {

QImage Load(const char* path) {
    QImage image(QString::fromLatin1(path));
    EXPECT_FALSE(image.isNull()) << path;
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A pixel of a symbol: the symbols are light on the darker strip.
bool IsSymbol(QRgb pixel) {
    return qGray(pixel) > 170;
}

bool ColumnHasSymbol(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y) {
        if (IsSymbol(image.pixel(x, y))) {
            return true;
        }
    }
    return false;
}

bool ColumnsEqual(const QImage& a, int ax, const QImage& b, int bx) {
    for (int y = 0; y < a.height(); ++y) {
        if (a.pixel(ax, y) != b.pixel(bx, y)) {
            return false;
        }
    }
    return true;
}

TEST(Artwork, TitleStripPiecesHaveTheirSizesAndJoinWithoutSeams) {
    const QImage left = Load(":/bitmaps/140.png");
    const QImage filler = Load(":/bitmaps/141.png");
    const QImage refresh = Load(":/bitmaps/147.png");
    ASSERT_EQ(left.size(), QSize(50, 15));
    ASSERT_EQ(filler.size(), QSize(5, 15));
    ASSERT_EQ(refresh.size(), QSize(20, 15));

    // The filler is stretched between the two other pieces: each of its columns must match the
    // edges it meets.
    for (int x = 0; x < filler.width(); ++x) {
        EXPECT_TRUE(ColumnsEqual(filler, x, left, left.width() - 1)) << x;
        EXPECT_TRUE(ColumnsEqual(filler, x, refresh, 0)) << x;
    }
    for (const QImage* piece : {&left, &filler, &refresh}) {
        for (int y = 0; y < piece->height(); ++y) {
            for (int x = 0; x < piece->width(); ++x) {
                ASSERT_EQ(qAlpha(piece->pixel(x, y)), 255);
            }
        }
    }
}

TEST(Artwork, ButtonSymbolsLieInsideTheirHitAreas) {
    const QImage left = Load(":/bitmaps/140.png");
    ASSERT_EQ(left.width(), 50);
    // Close x 2..14, hide 19..30, menu 35..46 (right edges excluded).
    const int areas[3][2] = {{2, 14}, {19, 31}, {35, 47}};
    for (int x = 0; x < left.width(); ++x) {
        bool inside = false;
        for (const auto& area : areas) {
            inside = inside || (x >= area[0] && x < area[1]);
        }
        if (!inside) {
            EXPECT_FALSE(ColumnHasSymbol(left, x)) << "column " << x;
        }
    }
    for (const auto& area : areas) {
        int columns = 0;
        for (int x = area[0]; x < area[1]; ++x) {
            columns += ColumnHasSymbol(left, x);
        }
        EXPECT_GE(columns, 5) << "area at " << area[0];
    }

    const QImage refresh = Load(":/bitmaps/147.png");
    int columns = 0;
    for (int x = 0; x < refresh.width(); ++x) {
        columns += ColumnHasSymbol(refresh, x);
    }
    EXPECT_GE(columns, 5);
    // Clear of the edges, where the filler joins.
    EXPECT_FALSE(ColumnHasSymbol(refresh, 0));
    EXPECT_FALSE(ColumnHasSymbol(refresh, refresh.width() - 1));
}

TEST(Artwork, IconsComeInTheirSizes) {
    EXPECT_EQ(Load(":/icons/128.png").size(), QSize(64, 64));
    EXPECT_EQ(Load(":/icons/128-32.png").size(), QSize(32, 32));
    EXPECT_EQ(Load(":/icons/128-16.png").size(), QSize(16, 16));
    EXPECT_EQ(Load(":/icons/142.png").size(), QSize(22, 22));
    // Rounded tiles: see-through corners, solid middle.
    for (const char* path : {":/icons/128.png", ":/icons/128-16.png", ":/icons/142.png"}) {
        const QImage icon = Load(path);
        EXPECT_LT(qAlpha(icon.pixel(0, 0)), 128) << path;
        EXPECT_EQ(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 255) << path;
    }
}

}  // namespace
}  // namespace vemo
