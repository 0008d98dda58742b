#include "editor_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavrela {

namespace {

const QColor kInk(0x2b, 0x3a, 0x4a);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kRed(0xc0, 0x39, 0x2b);

// Draws in a 16 x 16 design box scaled to the requested rectangle.
class GlyphEngine final : public QIconEngine {
public:
    GlyphEngine(Glyph glyph, QColor accent) : glyph_(glyph), accent_(accent) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        const qreal side = qMin(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0,
                           rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / 16.0, side / 16.0);
        if (mode == QIcon::Disabled) {
            painter->setOpacity(0.35);
        }
        Draw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pm(size * scale);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            paint(&p, QRect(QPoint(0, 0), size * scale), mode, state);
        }
        pm.setDevicePixelRatio(scale);
        return pm;
    }

    QIconEngine* clone() const override { return new GlyphEngine(glyph_, accent_); }

private:
    static QPen Pen(const QColor& c, qreal w = 1.6) {
        return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }

    static void Magnifier(QPainter& p) {
        p.setPen(Pen(kInk, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        p.setPen(Pen(kInk, 2.4));
        p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        p.setPen(Pen(kInk, 1.4));
        p.drawLine(QPointF(4.3, 6.5), QPointF(8.7, 6.5));
    }

    void Draw(QPainter& p) const {
        switch (glyph_) {
        case Glyph::Save: {
            p.setPen(Pen(kInk, 1.2));
            p.setBrush(QColor(0xf4, 0xf6, 0xf8));
            p.drawRoundedRect(QRectF(2, 1.5, 12, 13), 1.5, 1.5);
            p.setPen(Pen(kGreen, 2.2));
            p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.8, 5)}));
            break;
        }
        case Glyph::Undo: {
            p.setPen(Pen(kRed, 1.8));
            p.setBrush(Qt::NoBrush);
            QPainterPath arc;
            arc.moveTo(4, 7);
            arc.cubicTo(7, 3, 14, 4, 13.5, 9);
            arc.cubicTo(13, 13, 8, 14, 6, 12.5);
            p.drawPath(arc);
            p.setBrush(kRed);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(1.5, 4), QPointF(6.5, 4.5), QPointF(3.2, 9)}));
            break;
        }
        case Glyph::ShowAll: {
            p.setPen(Pen(kInk, 1.6));
            p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
            p.drawPolyline(QPolygonF({QPointF(4.5, 5), QPointF(1.5, 8), QPointF(4.5, 11)}));
            p.drawPolyline(QPolygonF({QPointF(11.5, 5), QPointF(14.5, 8), QPointF(11.5, 11)}));
            p.setPen(Pen(kGreen, 1.2));
            p.drawLine(QPointF(6, 3), QPointF(6, 13));
            p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
            p.drawLine(QPointF(10, 4), QPointF(10, 12));
            break;
        }
        case Glyph::ClearRange: {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x9f, 0xc5, 0xe8));
            p.drawRect(QRectF(3, 2, 10, 12));
            p.setPen(Pen(kInk, 1.2));
            p.drawLine(QPointF(3, 1.5), QPointF(3, 14.5));
            p.drawLine(QPointF(13, 1.5), QPointF(13, 14.5));
            p.setPen(Pen(kRed, 2.0));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
            break;
        }
        case Glyph::Marker: {
            const QColor c = accent_.isValid() ? accent_ : kInk;
            p.setPen(Pen(QColor(0x40, 0x40, 0x40), 1.0));
            p.setBrush(c);
            p.drawPolygon(QPolygonF({QPointF(4, 1.5), QPointF(13, 4.5), QPointF(4, 7.5)}));
            p.setPen(Pen(c.darker(130), 2.0));
            p.drawLine(QPointF(4, 1.5), QPointF(4, 14.5));
            break;
        }
        case Glyph::Comment: {
            p.setPen(Pen(kInk, 1.2));
            p.setBrush(QColor(0xff, 0xf4, 0xc2));
            QPainterPath balloon;
            balloon.addRoundedRect(QRectF(1.5, 2, 13, 9), 2.5, 2.5);
            balloon.moveTo(4.5, 11);
            balloon.lineTo(4, 14.5);
            balloon.lineTo(8, 11);
            p.drawPath(balloon.simplified());
            p.setPen(Pen(kInk, 1.0));
            p.drawLine(QPointF(4, 5), QPointF(12, 5));
            p.drawLine(QPointF(4, 8), QPointF(10, 8));
            break;
        }
        case Glyph::GoStart:
        case Glyph::GoEnd: {
            if (glyph_ == Glyph::GoEnd) {
                p.translate(16, 0);
                p.scale(-1, 1);
            }
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRect(QRectF(2, 3, 2, 10));
            p.drawPolygon(QPolygonF({QPointF(14, 3), QPointF(14, 13), QPointF(5, 8)}));
            break;
        }
        case Glyph::ZoomIn:
            Magnifier(p);
            p.drawLine(QPointF(6.5, 4.3), QPointF(6.5, 8.7));
            break;
        case Glyph::ZoomOut:
            Magnifier(p);
            break;
        case Glyph::Hand: {
            p.setPen(Pen(kInk, 1.0));
            p.setBrush(QColor(0xff, 0xe0, 0xbd));
            QPainterPath hand;
            hand.addRoundedRect(QRectF(3.5, 7, 9.5, 7.5), 3, 3);
            for (int i = 0; i < 4; ++i) {
                hand.addRoundedRect(QRectF(4 + i * 2.3, 2 + (i == 0 || i == 3 ? 1.5 : 0), 2.1, 7),
                                    1, 1);
            }
            hand.addRoundedRect(QRectF(1, 7.5, 4, 2.2), 1, 1);
            p.drawPath(hand.simplified());
            break;
        }
        case Glyph::Pointer: {
            p.setPen(Pen(kInk, 1.0));
            p.setBrush(Qt::white);
            p.drawPolygon(
                QPolygonF({QPointF(4, 1.5), QPointF(4, 13), QPointF(6.8, 10.3), QPointF(8.8, 14.5),
                           QPointF(10.6, 13.7), QPointF(8.7, 9.6), QPointF(12.5, 9.6)}));
            break;
        }
        case Glyph::Play:
            p.setPen(Pen(kGreen.darker(120), 1.0));
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({QPointF(4, 2.5), QPointF(13.5, 8), QPointF(4, 13.5)}));
            break;
        case Glyph::PlayFinal:
            p.setPen(Pen(kGreen.darker(120), 1.0));
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({QPointF(2.5, 2.5), QPointF(11, 8), QPointF(2.5, 13.5)}));
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRect(QRectF(11.5, 2.5, 2.5, 11));
            break;
        case Glyph::Stop:
            p.setPen(Pen(kRed.darker(120), 1.0));
            p.setBrush(kRed);
            p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1, 1);
            break;
        }
    }

    Glyph glyph_;
    QColor accent_;
};

} // namespace

QIcon MakeIcon(Glyph glyph, const QColor& accent) {
    return QIcon(new GlyphEngine(glyph, accent));
}

} // namespace tavrela
