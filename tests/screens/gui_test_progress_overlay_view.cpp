#include "screens/ProgressOverlay.h"

#include "../support/TestSupport.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::waitFor;

namespace {

const QString shotDir = QStringLiteral("/tmp/melodrop-shots");

// A screen-like background under the overlay; it counts the clicks that reach it.
const QByteArray screenQml = R"(
import QtQuick
Rectangle {
    property int clicks: 0
    anchors.fill: parent
    color: "#edf0f5"
    MouseArea { anchors.fill: parent; onClicked: parent.clicks++ }
    Column {
        anchors.fill: parent
        Repeater {
            model: 14
            Rectangle {
                width: parent.width; height: 52
                color: index % 2 ? "#ffffff" : "#f5f7fa"
                Text { x: 12; anchors.verticalCenter: parent.verticalCenter; text: "Исполнитель — Песня " + (index + 1); font.pixelSize: 15; color: "#2b2b2b" }
            }
        }
    }
}
)";

bool sameColor(QRgb a, QRgb b, int tolerance = 6)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool isDark(QRgb c)
{
    return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90;
}

bool isLight(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

int lightPixels(const QImage &image, const QRectF &area)
{
    const QRect r = area.toAlignedRect().intersected(image.rect());
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += isLight(image.pixel(x, y)) ? 1 : 0;
    return count;
}

class ProgressOverlayViewTest : public ::testing::Test
{
protected:
    // The application's style, so the screenshots show what users see.
    static void SetUpTestSuite() { QQuickStyle::setStyle(QStringLiteral("Material")); }

    void SetUp() override
    {
        // The app loads the view from the resources linked into melodrop_ui, so the test does as well.
        ASSERT_TRUE(QFile::exists(QStringLiteral(":/qml/Melodrop/ProgressOverlayView.qml")));
        window.resize(400, 720);

        QQmlComponent screenComponent(&engine);
        screenComponent.setData(screenQml, QUrl());
        screen.reset(beginInWindow(screenComponent));
        ASSERT_TRUE(screen) << qPrintable(screenComponent.errorString());
        screenComponent.completeCreate();

        QQmlComponent overlayComponent(&engine, QUrl(QStringLiteral("qrc:/qml/Melodrop/ProgressOverlayView.qml")));
        overlayView.reset(beginInWindow(overlayComponent));
        ASSERT_TRUE(overlayView) << qPrintable(overlayComponent.errorString());
        overlayComponent.completeCreate();

        hud = std::make_unique<ProgressOverlay>(overlayView.get());
        overlayView->setProperty("hud", QVariant::fromValue(hud.get()));

        window.show();
        ASSERT_TRUE(waitFor([&] { return window.isExposed(); }, 5000));
    }

    QQuickItem *beginInWindow(QQmlComponent &component)
    {
        auto *item = qobject_cast<QQuickItem *>(component.beginCreate(engine.rootContext()));
        if (item)
            item->setParentItem(window.contentItem());
        return item;
    }

    QQuickItem *part(const char *objectName) const
    {
        return overlayView->findChild<QQuickItem *>(QLatin1String(objectName));
    }

    QRectF sceneRect(QQuickItem *item) const
    {
        return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    }

    QImage grab(const QString &name)
    {
        const QImage image = window.grabWindow();
        QDir().mkpath(shotDir);
        EXPECT_TRUE(image.save(shotDir + QLatin1Char('/') + name)) << qPrintable(name);
        return image;
    }

    void click(QPointF pos) { QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, pos.toPoint()); }

    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QQuickItem> screen;
    std::unique_ptr<QQuickItem> overlayView;
    std::unique_ptr<ProgressOverlay> hud;
};

} // namespace

TEST_F(ProgressOverlayViewTest, SpinnerModeShowsCentredBoxWithLabel)
{
    hud->setLabelText(QStringLiteral("Загрузка…"));
    hud->show(false);

    EXPECT_TRUE(overlayView->isVisible());
    EXPECT_DOUBLE_EQ(overlayView->opacity(), 1.0);
    QQuickItem *label = part("progressOverlayLabel");
    QQuickItem *details = part("progressOverlayDetailsLabel");
    QQuickItem *spinner = part("progressOverlayBusyIndicator");
    QQuickItem *ring = part("progressOverlayProgress");
    QQuickItem *box = part("progressOverlayBox");
    ASSERT_TRUE(label && details && spinner && ring && box);
    EXPECT_EQ(label->property("text").toString(), QStringLiteral("Загрузка…"));
    EXPECT_TRUE(label->isVisible());
    EXPECT_FALSE(details->isVisible()) << "an empty details label takes no room";
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_TRUE(spinner->property("running").toBool());
    EXPECT_FALSE(ring->isVisible());

    const QImage shot = grab(QStringLiteral("overlay-spinner.png"));
    const QRectF boxRect = sceneRect(box);
    EXPECT_NEAR(boxRect.center().x(), 200, 1);
    EXPECT_NEAR(boxRect.center().y(), 360, 1);
    EXPECT_TRUE(boxRect.contains(sceneRect(label)));
    EXPECT_TRUE(boxRect.contains(sceneRect(spinner)));
    EXPECT_GE(sceneRect(label).top(), sceneRect(spinner).bottom()) << "the label goes under the indicator";
    ASSERT_EQ(shot.size(), QSize(400, 720));
    EXPECT_TRUE(isDark(shot.pixel(int(boxRect.left()) + 4, int(boxRect.center().y()))));
    EXPECT_GT(lightPixels(shot, sceneRect(spinner)), 20) << "the indicator does not stand out on the box";
    EXPECT_TRUE(sameColor(shot.pixel(2, 2), qRgb(0xf5, 0xf7, 0xfa)))
        << "the screen behind was dimmed though dimBackground is off";
}

TEST_F(ProgressOverlayViewTest, TextModeShowsResultMessageWithoutIndicatorAndWrapsLongDetails)
{
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(QStringLiteral("Ошибка"));
    hud->setDetailsLabelText(QStringLiteral("Не удалось выполнить вход"));
    hud->show(false);

    QQuickItem *label = part("progressOverlayLabel");
    QQuickItem *details = part("progressOverlayDetailsLabel");
    QQuickItem *box = part("progressOverlayBox");
    ASSERT_TRUE(label && details && box);
    EXPECT_EQ(label->property("text").toString(), QStringLiteral("Ошибка"));
    EXPECT_EQ(details->property("text").toString(), QStringLiteral("Не удалось выполнить вход"));
    EXPECT_TRUE(details->isVisible());
    EXPECT_FALSE(part("progressOverlayBusyIndicator")->isVisible());
    EXPECT_FALSE(part("progressOverlayProgress")->isVisible());

    const QImage shot = grab(QStringLiteral("overlay-text.png"));
    const QRectF boxRect = sceneRect(box);
    EXPECT_NEAR(boxRect.center().x(), 200, 1);
    EXPECT_NEAR(boxRect.center().y(), 360, 1);
    EXPECT_TRUE(boxRect.contains(sceneRect(details)));
    EXPECT_GE(sceneRect(details).top(), sceneRect(label).bottom()) << "details go under the label";
    // The label in bold 16 points, the details in bold 12 points.
    const QFont labelFont = label->property("font").value<QFont>();
    const QFont detailsFont = details->property("font").value<QFont>();
    EXPECT_EQ(labelFont.pointSizeF(), 16.0);
    EXPECT_TRUE(labelFont.bold());
    EXPECT_EQ(detailsFont.pointSizeF(), 12.0);
    EXPECT_TRUE(detailsFont.bold());

    // Glyphs were drawn: the labels' areas hold white pixels on the dark box.
    EXPECT_GT(lightPixels(shot, sceneRect(label)), 20) << "the Cyrillic label left no ink";
    EXPECT_GT(lightPixels(shot, sceneRect(details)), 20) << "the Cyrillic details left no ink";

    // Long details wrap inside the window.
    EXPECT_EQ(details->property("lineCount").toInt(), 1);
    hud->setDetailsLabelText(QStringLiteral("Не удалось выполнить вход: сервер не ответил вовремя, "
                                            "проверьте подключение к сети и попробуйте ещё раз"));
    window.grabWindow(); // lays the box out
    const QRectF wrapped = sceneRect(box);
    EXPECT_GT(details->property("lineCount").toInt(), 1);
    EXPECT_GE(wrapped.left(), 0);
    EXPECT_LE(wrapped.right(), 400);
    EXPECT_TRUE(wrapped.contains(sceneRect(details)));
}

TEST_F(ProgressOverlayViewTest, TheBoxIsTranslucentByTheOverlaysOpacity)
{
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(QStringLiteral("Уведомление"));
    const QImage behind = window.grabWindow();
    hud->show(false);
    EXPECT_FLOAT_EQ(hud->opacity(), 0.8f);

    // A spot inside the box beside the texts: the box's grey laid over the screen at the overlay's opacity.
    const QRectF boxRect = sceneRect(part("progressOverlayBox"));
    const QPoint spot(int(boxRect.left()) + 4, int(boxRect.center().y()));
    const QRgb under = behind.pixel(spot);
    for (const float opacity : {0.8f, 0.5f}) {
        hud->setOpacity(opacity);
        const QRgb drawn = grab(QStringLiteral("overlay-opacity-%1.png").arg(opacity)).pixel(spot);
        const auto blend = [&](int screen) { return qRound(0x2b * opacity + screen * (1 - opacity)); };
        EXPECT_TRUE(sameColor(drawn, qRgb(blend(qRed(under)), blend(qGreen(under)), blend(qBlue(under))), 3))
            << "opacity " << opacity << ": drawn " << qPrintable(QColor(drawn).name()) << " over "
            << qPrintable(QColor(under).name());
    }
    // The texts stay solid white on it.
    EXPECT_GT(lightPixels(window.grabWindow(), sceneRect(part("progressOverlayLabel"))), 20);
}

TEST_F(ProgressOverlayViewTest, ProgressModeFillsTheRingFromProgress)
{
    hud->setMode(ProgressOverlay::Determinate);
    hud->setProgress(0.25f);
    hud->setLabelText(QStringLiteral("Сохранение"));
    hud->show(false);

    QQuickItem *ring = part("progressOverlayProgress");
    ASSERT_TRUE(ring);
    EXPECT_TRUE(ring->isVisible());
    EXPECT_FALSE(part("progressOverlayBusyIndicator")->isVisible());

    const QImage quarter = grab(QStringLiteral("overlay-progress.png"));
    const QRectF r = sceneRect(ring);
    const QPointF c = r.center();
    const double inner = r.width() / 4; // halfway into the filled sector
    EXPECT_TRUE(isLight(quarter.pixel(QPointF(c.x() + inner * 0.7, c.y() - inner * 0.7).toPoint())))
        << "the first quarter (12 to 3 o'clock) is filled";
    EXPECT_TRUE(isDark(quarter.pixel(QPointF(c.x() - inner * 0.7, c.y() + inner * 0.7).toPoint())));

    hud->setProgress(1.0f);
    const QImage full = window.grabWindow();
    EXPECT_TRUE(isLight(full.pixel(QPointF(c.x() - inner * 0.7, c.y() + inner * 0.7).toPoint())));
}

TEST_F(ProgressOverlayViewTest, DimBackgroundDarkensTheScreen)
{
    hud->setDimBackground(true);
    hud->show(false);
    EXPECT_TRUE(part("progressOverlayDim")->isVisible());
    const QRgb corner = window.grabWindow().pixel(2, 2);
    EXPECT_LT(qRed(corner), 0xf5 - 40) << "the screen behind is not dimmed";
}

TEST_F(ProgressOverlayViewTest, FollowsAlphaAndFadesOnlyWhenAnimated)
{
    EXPECT_FALSE(overlayView->isVisible()) << "visible before it was shown";

    hud->show(false);
    EXPECT_DOUBLE_EQ(overlayView->opacity(), 1.0);
    hud->hide(false);
    EXPECT_DOUBLE_EQ(overlayView->opacity(), 0.0);
    EXPECT_FALSE(overlayView->isVisible());

    hud->show(true);
    EXPECT_LT(overlayView->opacity(), 1.0) << "an animated show jumped straight to opaque";
    EXPECT_TRUE(waitFor([&] { return overlayView->opacity() == 1.0; }, 3000));
    hud->hide(true);
    EXPECT_GT(overlayView->opacity(), 0.0) << "an animated hide jumped straight to transparent";
    EXPECT_TRUE(waitFor([&] { return !overlayView->isVisible(); }, 3000));
    EXPECT_TRUE(waitFor([&] { return hud->finished(); }, 3000));

    hud->show(false);
    overlayView->setProperty("hud", QVariant());
    EXPECT_FALSE(overlayView->isVisible()) << "visible without an overlay";
}

TEST_F(ProgressOverlayViewTest, IsModalWhileUp)
{
    const QPointF spot(60, 100);
    hud->show(false);
    click(spot);
    EXPECT_EQ(screen->property("clicks").toInt(), 0) << "a click went through the overlay";

    hud->hide(false);
    click(spot);
    EXPECT_EQ(screen->property("clicks").toInt(), 1) << "the hidden overlay still swallows clicks";
}
