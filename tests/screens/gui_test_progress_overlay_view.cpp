#include "screens/ProgressOverlay.h"

#include "../support/TestSupport.h"

#include <QColor>
#include <QDir>
#include <QFile>
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

// A screen's background under the overlay; it counts the clicks that reach it.
const QByteArray screenQml = R"(
import QtQuick
Rectangle {
    property int clicks: 0
    anchors.fill: parent
    color: "#f5f7fa"
    MouseArea { anchors.fill: parent; onClicked: parent.clicks++ }
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
        screen.reset(inWindow(screenComponent));
        ASSERT_TRUE(screen) << qPrintable(screenComponent.errorString());

        QQmlComponent overlayComponent(&engine,
                                       QUrl(QStringLiteral("qrc:/qml/Melodrop/ProgressOverlayView.qml")));
        overlayView.reset(inWindow(overlayComponent));
        ASSERT_TRUE(overlayView) << qPrintable(overlayComponent.errorString());

        hud = std::make_unique<ProgressOverlay>(overlayView.get());
        overlayView->setProperty("hud", QVariant::fromValue(hud.get()));

        window.show();
        ASSERT_TRUE(waitFor([&] { return window.isExposed(); }, 5000));
    }

    // The component's item, made inside the window.
    QQuickItem *inWindow(QQmlComponent &component)
    {
        auto *item = qobject_cast<QQuickItem *>(component.beginCreate(engine.rootContext()));
        if (item)
            item->setParentItem(window.contentItem());
        component.completeCreate();
        return item;
    }

    QQuickItem *part(const char *objectName) const
    {
        return overlayView->findChild<QQuickItem *>(QLatin1String(objectName));
    }
    // Which of the spinner, the ring and the details label are drawn, as "spinner ring details" with "-" for
    // each that is not.
    QString partsShown() const
    {
        return QStringLiteral("%1 %2 %3")
            .arg(QLatin1String(part("progressOverlayBusyIndicator")->isVisible() ? "spinner" : "-"),
                 QLatin1String(part("progressOverlayProgress")->isVisible() ? "ring" : "-"),
                 QLatin1String(part("progressOverlayDetailsLabel")->isVisible() ? "details" : "-"));
    }
    static QRectF sceneRect(QQuickItem *item)
    {
        return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    }
    // The box in the middle of the window (400×720), holding `inside`.
    void expectCentredBoxHolding(QQuickItem *inside) const
    {
        const QRectF box = sceneRect(part("progressOverlayBox"));
        EXPECT_NEAR(box.center().x(), 200, 1);
        EXPECT_NEAR(box.center().y(), 360, 1);
        EXPECT_TRUE(box.contains(sceneRect(inside)));
    }

    QImage grab(const QString &name)
    {
        const QImage image = window.grabWindow();
        QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
        EXPECT_TRUE(image.save(QStringLiteral("/tmp/melodrop-shots/") + name)) << qPrintable(name);
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

TEST_F(ProgressOverlayViewTest, SpinnerAndProgressModesShowACentredBoxThatDimsOnlyWhenAsked)
{
    hud->setLabelText(QStringLiteral("Загрузка…"));
    hud->show(false);
    QQuickItem *label = part("progressOverlayLabel");
    QQuickItem *spinner = part("progressOverlayBusyIndicator");
    ASSERT_TRUE(label && spinner && part("progressOverlayDetailsLabel") && part("progressOverlayProgress"));
    EXPECT_EQ(label->property("text").toString(), QStringLiteral("Загрузка…"));
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(partsShown(), QStringLiteral("spinner - -")) << "an empty details label takes no room";
    EXPECT_TRUE(spinner->property("running").toBool());

    const QImage shot = grab(QStringLiteral("overlay-spinner.png"));
    ASSERT_EQ(shot.size(), QSize(400, 720));
    expectCentredBoxHolding(label);
    expectCentredBoxHolding(spinner);
    EXPECT_GE(sceneRect(label).top(), sceneRect(spinner).bottom()) << "the label goes under the indicator";
    const QRectF box = sceneRect(part("progressOverlayBox"));
    EXPECT_TRUE(isDark(shot.pixel(int(box.left()) + 4, int(box.center().y()))));
    EXPECT_GT(lightPixels(shot, sceneRect(spinner)), 20) << "the indicator does not stand out on the box";
    EXPECT_TRUE(sameColor(shot.pixel(2, 2), qRgb(0xf5, 0xf7, 0xfa)))
        << "the screen behind was dimmed though dimBackground is off";

    hud->hide(false);
    hud->setDimBackground(true);
    hud->show(false);
    EXPECT_TRUE(part("progressOverlayDim")->isVisible());
    EXPECT_LT(qRed(window.grabWindow().pixel(2, 2)), 0xf5 - 40) << "the screen behind is not dimmed";

    // In progress mode the ring takes the spinner's place and fills from the progress.
    hud->setMode(ProgressOverlay::Determinate);
    hud->setProgress(0.25f);
    EXPECT_EQ(partsShown(), QStringLiteral("- ring -"));
    const QImage quarter = grab(QStringLiteral("overlay-progress.png"));
    const QPointF c = sceneRect(part("progressOverlayProgress")).center();
    const double inner = part("progressOverlayProgress")->width() / 4 * 0.7; // halfway into the filled sector
    EXPECT_TRUE(isLight(quarter.pixel(QPointF(c.x() + inner, c.y() - inner).toPoint())))
        << "the first quarter (12 to 3 o'clock) is filled";
    EXPECT_TRUE(isDark(quarter.pixel(QPointF(c.x() - inner, c.y() + inner).toPoint())));
    hud->setProgress(1.0f);
    EXPECT_TRUE(isLight(window.grabWindow().pixel(QPointF(c.x() - inner, c.y() + inner).toPoint())));
}

TEST_F(ProgressOverlayViewTest, TextModeShowsAResultOnATranslucentBoxAndWrapsLongDetails)
{
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(QStringLiteral("Ошибка"));
    hud->setDetailsLabelText(QStringLiteral("Не удалось выполнить вход"));
    const QImage behind = window.grabWindow();
    hud->show(false);
    EXPECT_FLOAT_EQ(hud->opacity(), 0.8f);

    QQuickItem *label = part("progressOverlayLabel");
    QQuickItem *details = part("progressOverlayDetailsLabel");
    ASSERT_TRUE(label && details && part("progressOverlayBox"));
    EXPECT_EQ(label->property("text").toString() + '|' + details->property("text").toString(),
              QStringLiteral("Ошибка|Не удалось выполнить вход"));
    EXPECT_EQ(partsShown(), QStringLiteral("- - details"));

    const QImage shot = grab(QStringLiteral("overlay-text.png"));
    expectCentredBoxHolding(details);
    EXPECT_GE(sceneRect(details).top(), sceneRect(label).bottom()) << "details go under the label";
    // Glyphs were drawn: the labels' areas hold white pixels on the dark box.
    EXPECT_GT(lightPixels(shot, sceneRect(label)), 20) << "the Cyrillic label left no ink";
    EXPECT_GT(lightPixels(shot, sceneRect(details)), 20) << "the Cyrillic details left no ink";

    // A spot inside the box beside the texts: the box's grey laid over the screen at the overlay's opacity,
    // the texts staying solid white on it.
    const QRectF boxRect = sceneRect(part("progressOverlayBox"));
    const QPoint spot(int(boxRect.left()) + 4, int(boxRect.center().y()));
    const QRgb under = behind.pixel(spot);
    for (const float opacity : {0.8f, 0.5f}) {
        hud->setOpacity(opacity);
        const QImage image = grab(QStringLiteral("overlay-opacity-%1.png").arg(opacity));
        const auto blend = [&](int screen) { return qRound(0x2b * opacity + screen * (1 - opacity)); };
        EXPECT_TRUE(sameColor(image.pixel(spot),
                              qRgb(blend(qRed(under)), blend(qGreen(under)), blend(qBlue(under))), 3))
            << "opacity " << opacity << ": drawn " << qPrintable(QColor(image.pixel(spot)).name()) << " over "
            << qPrintable(QColor(under).name());
        EXPECT_GT(lightPixels(image, sceneRect(label)), 20);
    }

    // Long details wrap inside the window.
    EXPECT_EQ(details->property("lineCount").toInt(), 1);
    hud->setDetailsLabelText(QStringLiteral("Не удалось выполнить вход: сервер не ответил вовремя, "
                                            "проверьте подключение к сети и попробуйте ещё раз"));
    window.grabWindow(); // lays the box out
    EXPECT_GT(details->property("lineCount").toInt(), 1);
    const QRectF wrapped = sceneRect(part("progressOverlayBox"));
    EXPECT_GE(wrapped.left(), 0);
    EXPECT_LE(wrapped.right(), 400);
    EXPECT_TRUE(wrapped.contains(sceneRect(details)));
}

TEST_F(ProgressOverlayViewTest, FollowsAlphaFadesOnlyWhenAnimatedAndIsModalWhileUp)
{
    EXPECT_FALSE(overlayView->isVisible()) << "visible before it was shown";
    const QPointF spot(60, 100);
    hud->show(false);
    EXPECT_DOUBLE_EQ(overlayView->opacity(), 1.0);
    click(spot);
    EXPECT_EQ(screen->property("clicks").toInt(), 0) << "a click went through the overlay";
    hud->hide(false);
    EXPECT_DOUBLE_EQ(overlayView->opacity(), 0.0);
    EXPECT_FALSE(overlayView->isVisible());
    click(spot);
    EXPECT_EQ(screen->property("clicks").toInt(), 1) << "the hidden overlay still swallows clicks";

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
