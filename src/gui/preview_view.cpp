#include "gui/preview_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// Space between the two pictures side by side, in pixels of the view.
constexpr double pictureGap = 8;
// One arrow key moves the split by this share of the width.
constexpr double splitStep = 0.02;

QSizeF pageSizeOf(const QImage& image, double scale)
{
    if (image.isNull() || scale <= 0) {
        return {};
    }
    return QSizeF(image.width() / scale, image.height() / scale);
}

} // namespace

PreviewView::PreviewView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(false);
}

void PreviewView::setPictures(const QImage& before, double beforeScale, const QImage& after, double afterScale)
{
    before_ = {before, pageSizeOf(before, beforeScale), {}};
    after_ = {after, pageSizeOf(after, afterScale), {}};
    updateScrollBars();
    viewport()->update();
}

void PreviewView::setLayout(Layout layout)
{
    layout_ = layout;
    updateScrollBars();
    viewport()->update();
}

void PreviewView::setFitToWindow(bool fit)
{
    fit_ = fit;
    updateScrollBars();
    viewport()->update();
}

void PreviewView::setSplit(double share)
{
    split_ = std::clamp(share, 0.0, 1.0);
    viewport()->update();
}

QSizeF PreviewView::contentSize() const
{
    const QSizeF& b = before_.pageSize;
    const QSizeF& a = after_.pageSize;
    const double height = std::max(b.height(), a.height());
    if (layout_ == Layout::Split) {
        return {std::max(b.width(), a.width()), height};
    }
    return {b.width() + a.width(), height};
}

double PreviewView::zoom() const
{
    const QSizeF content = contentSize();
    if (!fit_ || content.isEmpty()) {
        return 1.0;
    }
    const double gap = layout_ == Layout::SideBySide ? pictureGap : 0;
    const QSize room = viewport()->size();
    return std::max(0.0001, std::min((room.width() - gap) / content.width(), room.height() / content.height()));
}

// The top-left corner of the content in view coordinates: centred when it is smaller than the
// view, moved by the scroll bars when it is larger.
QPointF PreviewView::contentOrigin() const
{
    const double gap = layout_ == Layout::SideBySide ? pictureGap : 0;
    const QSizeF drawn = contentSize() * zoom() + QSizeF(gap, 0);
    const QSize room = viewport()->size();
    const double x = drawn.width() < room.width() ? (room.width() - drawn.width()) / 2 : -horizontalScrollBar()->value();
    const double y = drawn.height() < room.height() ? (room.height() - drawn.height()) / 2 : -verticalScrollBar()->value();
    return {x, y};
}

// A picture's place: at `left` within a column `width` wide (view pixels), centred in it and in
// the content's height.
QRectF PreviewView::pictureRect(const Picture& picture, double left, double width) const
{
    const QSizeF size = picture.pageSize * zoom();
    const double contentHeight = contentSize().height() * zoom();
    const QPointF origin = contentOrigin();
    return {origin.x() + left + (width - size.width()) / 2, origin.y() + (contentHeight - size.height()) / 2,
            size.width(), size.height()};
}

void PreviewView::updateScrollBars()
{
    const double gap = layout_ == Layout::SideBySide ? pictureGap : 0;
    const QSizeF drawn = contentSize() * zoom() + QSizeF(gap, 0);
    const QSize room = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, static_cast<int>(drawn.width()) - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(drawn.height()) - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
}

void PreviewView::drawPicture(QPainter& painter, const Picture& picture, const QRectF& target,
                              const QRectF& clip) const
{
    if (picture.image.isNull() || target.isEmpty()) {
        return;
    }
    painter.save();
    painter.setClipRect(clip);
    const QSize drawn = target.size().toSize();
    if (drawn.width() < picture.image.width() && !drawn.isEmpty()) {
        if (picture.reduced.size() != drawn) {
            picture.reduced = picture.image.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        painter.drawImage(target.topLeft(), picture.reduced);
    } else {
        // Pixels stay sharp from 100 % up, so that JPEG blocks and dithering show as they are.
        painter.drawImage(target, picture.image);
    }
    painter.restore();
}

void PreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRectF all(QPointF(0, 0), QSizeF(viewport()->size()));
    const double z = zoom();
    if (layout_ == Layout::SideBySide) {
        const double beforeWidth = before_.pageSize.width() * z;
        drawPicture(painter, before_, pictureRect(before_, 0, beforeWidth), all);
        drawPicture(painter, after_, pictureRect(after_, beforeWidth + pictureGap, after_.pageSize.width() * z), all);
        return;
    }
    const double width = contentSize().width() * z;
    const QRectF beforeRect = pictureRect(before_, 0, width);
    const QRectF afterRect = pictureRect(after_, 0, width);
    const double splitX = contentOrigin().x() + width * split_;
    drawPicture(painter, before_, beforeRect, QRectF(all.left(), all.top(), splitX - all.left(), all.height()));
    drawPicture(painter, after_, afterRect, QRectF(splitX, all.top(), all.right() - splitX, all.height()));
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(QPointF(splitX, all.top()), QPointF(splitX, all.bottom()));
}

void PreviewView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PreviewView::dragSplit(double viewX)
{
    const double width = contentSize().width() * zoom();
    if (layout_ != Layout::Split || width <= 0) {
        return;
    }
    setSplit((viewX - contentOrigin().x()) / width);
}

void PreviewView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragSplit(event->position().x());
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void PreviewView::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) != 0) {
        dragSplit(event->position().x());
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void PreviewView::keyPressEvent(QKeyEvent* event)
{
    if (layout_ == Layout::Split && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        setSplit(split_ + (event->key() == Qt::Key_Left ? -splitStep : splitStep));
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}
