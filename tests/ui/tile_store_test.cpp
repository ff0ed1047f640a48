// The viewer's reading machinery: tiles read on the worker hold the right samples, the cache
// never grows past its budget, requests of an old frame are dropped, replacing one image
// cancels only its own reading, and the screen colours follow the stretch.

#include "desktop/viewer/tile_store.h"

#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "desktop/viewer/display_layer.h"
#include "imaging/stretch.h"
#include "raster/image_open.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {

class TileStoreTest : public QObject {
    Q_OBJECT

private:
    // A 1000 x 700 16-bit band whose sample at (x, y) is x + y.
    std::shared_ptr<RasterSource> Band()
    {
        std::vector<std::int16_t> samples;
        for (int y = 0; y < 700; ++y) {
            for (int x = 0; x < 1000; ++x) samples.push_back(static_cast<std::int16_t>(x + y));
        }
        WriteInt16File(m_dir.File("b.img"), samples);
        WriteEnviHeader(m_dir.File("b.img"), 1000, 700, 1);
        std::string error;
        return OpenRaster(m_dir.File("b.img"), {}, error);
    }
    static TileData WaitForTile(TileStore& store, const TileKey& key)
    {
        for (int i = 0; i < 500; ++i) {
            if (TileData tile = store.Tile(key)) return tile;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return nullptr;
    }

private slots:
    void TilesHoldTheirSamplesAndTheCacheStaysWithinItsBudget()
    {
        const std::size_t tileBytes = std::size_t{kTileSize} * kTileSize * sizeof(float);
        std::atomic<int> notified{0};
        TileStore store(3 * tileBytes, [&notified] { ++notified; });
        store.SetLayer(0, Band());
        const TileData tile =
            WaitForTile(store, {0, 0, 2, 1, 1});  // x from 512, y from 512, step 2
        QVERIFY(tile);
        // Each sample the mean of its 2 x 2 block: x + y at the block's centre.
        QCOMPARE((*tile)[0], 512.5f + 512.5f);
        QCOMPARE((*tile)[kTileSize + 3], 518.5f + 514.5f);
        QCOMPARE((*tile)[static_cast<std::size_t>(kTileSize) * 100],
                 0.0f);  // row 712: below the image
        QVERIFY(notified > 0);
        for (int column = 0; column < 4; ++column)
            QVERIFY(WaitForTile(store, {0, 0, 1, column, 0}));
        QVERIFY(store.CachedBytes() <= 3 * tileBytes);
        // The tile used longest ago went first.
        store.BeginFrame();
        QVERIFY(!store.Tile({0, 0, 2, 1, 1}));
        store.BeginFrame();
        QVERIFY(WaitForTile(store, {0, 0, 1, 3, 0}));
    }

    void ReplacingOneImageCancelsOnlyItsOwnReading()
    {
        TileStore store(std::size_t{64} << 20, nullptr);
        std::atomic<bool> slowStarted{false};
        std::atomic<bool> slowCancelled{false};
        std::atomic<bool> otherDone{false};
        store.RunFirst(0, [&](const std::atomic<bool>& cancel) {
            slowStarted = true;
            for (int i = 0; i < 400 && !cancel; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            slowCancelled = cancel.load();
        });
        store.RunFirst(1, [&](const std::atomic<bool>& cancel) { otherDone = !cancel; });
        QTRY_VERIFY(slowStarted);
        store.SetLayer(1, Band());  // drops layer 1's waiting job; layer 0's job goes on
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QVERIFY(!slowCancelled);
        store.SetLayer(0, Band());  // its own layer: cancelled
        QTRY_VERIFY(slowCancelled);
        QTRY_VERIFY(!store.IsBusy());
        QVERIFY(!otherDone);
    }

    void ScreenColoursFollowTheStretchOfEachChannel()
    {
        const std::vector<float> red = {100, 101, 200, 300, 0};
        const std::vector<float> green = {5, 5, 5, 5, 5};
        std::array<ChannelStretch, 3> stretch;
        stretch[0] = {2, 2, 100, 300, 0};
        stretch[1] = {2, 2, 0, 10, 20};
        const QImage image = RenderSamples({red.data(), green.data(), nullptr}, 5, 1, stretch);
        const int expectedRed[5] = {0, 1, 127, 255, 0};
        for (int x = 0; x < 5; ++x) {
            QCOMPARE(qRed(image.pixel(x, 0)), expectedRed[x]);
            QCOMPARE(qGreen(image.pixel(x, 0)), int(StretchByte(5, 0, 10, 20)));
            QCOMPARE(qBlue(image.pixel(x, 0)), 0);
        }
    }

    void DefaultBandsAreTheNamedColoursElseThreeTwoOne()
    {
        WriteInt16File(m_dir.File("m.img"), std::vector<std::int16_t>(4 * 4 * 4, 1));
        WriteEnviHeader(m_dir.File("m.img"), 4, 4, 4, {"NIR", "Red", "Green", "Blue"});
        std::string error;
        DisplayLayer named(OpenRaster(m_dir.File("m.img"), {}, error));
        QCOMPARE(named.DefaultChoice().rgb, (std::array<int, 3>{1, 2, 3}));
        WriteEnviHeader(m_dir.File("m.img"), 4, 4, 4);
        DisplayLayer plain(OpenRaster(m_dir.File("m.img"), {}, error));
        QCOMPARE(plain.DefaultChoice().rgb, (std::array<int, 3>{2, 1, 0}));
        WriteEnviHeader(m_dir.File("m.img"), 4, 8, 2);
        QVERIFY(DisplayLayer(OpenRaster(m_dir.File("m.img"), {}, error)).DefaultChoice().grey);
    }

private:
    TempDir m_dir;
};

}  // namespace lumesta::testing

int RunTileStoreTests(int argc, char** argv)
{
    lumesta::testing::TileStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tile_store_test.moc"
