// Draws the cleaning window's backdrop: pale flowers on a cream ground, 526 x 116 pixels in
// 24-bit colour. Run it once to rebuild the picture from its fixed seed:
//   g++ -std=c++20 -fPIC tools/draw_backdrop.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw
//   QT_QPA_PLATFORM=offscreen /tmp/draw src/clean/images/backdrop.png
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <cmath>

namespace {

void drawFlower(QPainter& painter, QPointF centre, double radius, QColor petal, double turn) {
    painter.save();
    painter.translate(centre);
    painter.rotate(turn);
    for (int i = 0; i < 5; ++i) {
        QPainterPath leaf;
        leaf.moveTo(0, 0);
        leaf.cubicTo(radius * 0.55, -radius * 0.35, radius * 0.95, -radius * 0.2, radius, 0);
        leaf.cubicTo(radius * 0.95, radius * 0.2, radius * 0.55, radius * 0.35, 0, 0);
        painter.fillPath(leaf, petal);
        painter.rotate(72);
    }
    painter.setBrush(QColor(250, 228, 170, 200));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(0, 0), radius * 0.18, radius * 0.18);
    painter.restore();
}

void drawLeaf(QPainter& painter, QPointF at, double length, double turn) {
    painter.save();
    painter.translate(at);
    painter.rotate(turn);
    QPainterPath leaf;
    leaf.moveTo(0, 0);
    leaf.quadTo(length * 0.5, -length * 0.3, length, 0);
    leaf.quadTo(length * 0.5, length * 0.3, 0, 0);
    painter.fillPath(leaf, QColor(196, 222, 190, 120));
    painter.restore();
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QImage image(526, 116, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient ground(0, 0, 526, 116);
    ground.setColorAt(0, QColor(253, 250, 242));
    ground.setColorAt(1, QColor(244, 248, 241));
    painter.fillRect(image.rect(), ground);

    QRandomGenerator random(2015);
    // A vine along the lower edge, leaves on it, flowers above.
    QPainterPath vine;
    vine.moveTo(-10, 100);
    for (int x = 0; x <= 540; x += 60) {
        vine.quadTo(x + 30, 84 + random.bounded(20), x + 60, 98);
    }
    painter.setPen(QPen(QColor(206, 226, 200), 1.5));
    painter.drawPath(vine);
    for (int i = 0; i < 26; ++i) {
        drawLeaf(painter, QPointF(random.bounded(526), 78 + random.bounded(30)),
                 8 + random.bounded(8), random.bounded(360));
    }
    const QColor petals[] = {QColor(246, 206, 214, 130), QColor(222, 208, 240, 130),
                             QColor(250, 218, 196, 130), QColor(214, 228, 246, 130)};
    for (int i = 0; i < 34; ++i) {
        const QPointF centre(random.bounded(526), 10 + random.bounded(100));
        drawFlower(painter, centre, 6 + random.bounded(12), petals[random.bounded(4)],
                   random.bounded(72));
    }
    painter.end();
    return image.save(QString::fromLocal8Bit(argc > 1 ? argv[1] : "backdrop.png")) ? 0 : 1;
}
