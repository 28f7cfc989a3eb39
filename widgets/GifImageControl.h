#pragma once
// The GIF codec on Qt: its synchronisation served from the Qt event loop, its canvas drawn with
// QPainter on a QImage, and TGIFImageControl, the picture control that shows a GIF picture
// and lets its painter animate it.

#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifImage.h"

#include <QImage>
#include <QWidget>

namespace scenaria {

// Makes the calling (user-interface) thread serve the painters' requests from its Qt event
// loop, and tells the codec whether the screen shows few colours. Safe to call more than once.
void InstallGIFEventLoop();

// One of our bitmaps as a QImage; with a mask, masked pixels are fully transparent.
QImage ToQImage(const TPixelGraphic& graphic, const TGIFMask* mask = nullptr);

// A canvas over a QImage (Format_RGB32 or Format_ARGB32), nearest-pixel stretching.
class TGIFQImageCanvas : public TGIFCanvas {
public:
    explicit TGIFQImageCanvas(QImage& image) : image_(image) {}

    void StretchDraw(const TRect& rect, const TPixelGraphic& graphic) override;
    void MaskedStretchDraw(const TRect& rect, const TPixelGraphic& graphic,
                           const TGIFMask& mask) override;
    void FillRect(const TRect& rect, TColor color) override;
    void CopyTo(const TRect& rect, TPixelGraphic& target) const override;

private:
    QImage& image_;
};

// The picture control: draws its GIF picture over its own background, filling the control.
// Destroying it destroys the picture, which stops its painter first.
class TGIFImageControl : public QWidget {
    Q_OBJECT
public:
    explicit TGIFImageControl(QWidget* parent = nullptr);
    ~TGIFImageControl() override;

    TGIFImage& Picture() { return picture_; }
    // Loads GIF data (a whole file); false, with the picture left empty, when it cannot.
    bool LoadFromData(const QByteArray& data);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TGIFImage picture_;
    QImage buffer_;
};

} // namespace scenaria
