#pragma once

#include <QAbstractScrollArea>
#include <QImage>

// The preview's picture area: the page before and after the chain, side by side or on either side
// of a split the user drags (mouse, or the arrow keys while it has the focus). Both pictures are
// drawn at the size of their pages, so a resize or a frame shows as it will be; "fit" scales the
// whole to the area, 100 % shows the pages pixel for pixel and scrolls to pan.
class PreviewView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    enum class Layout { SideBySide, Split };

    explicit PreviewView(QWidget* parent = nullptr);

    // scale: display size / page size of the picture (display copies of large pages are smaller).
    void setPictures(const QImage& before, double beforeScale, const QImage& after, double afterScale);
    void setLayout(Layout layout);
    void setFitToWindow(bool fit);
    // Where the split lies, as a share of the pictures' width (0 to 1).
    void setSplit(double share);

    Layout layout() const { return layout_; }
    bool fitsToWindow() const { return fit_; }
    double split() const { return split_; }
    bool showsPictures() const { return !before_.image.isNull() || !after_.image.isNull(); }
    // The scale the pages are drawn at: 1 at 100 %, the fitting scale otherwise.
    double zoom() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Picture {
        QImage image;
        QSizeF pageSize; // the page's own size in pixels
        // The image scaled smoothly to the size it was last drawn at below its own size, so that
        // repaints of a large page at a fitting size do not scale it again each time.
        mutable QImage reduced;
    };
    QSizeF contentSize() const;
    QPointF contentOrigin() const;
    QRectF pictureRect(const Picture& picture, double left, double width) const;
    void updateScrollBars();
    void dragSplit(double viewX);
    void drawPicture(QPainter& painter, const Picture& picture, const QRectF& target, const QRectF& clip) const;

    Picture before_;
    Picture after_;
    Layout layout_ = Layout::SideBySide;
    bool fit_ = true;
    double split_ = 0.5;
};
