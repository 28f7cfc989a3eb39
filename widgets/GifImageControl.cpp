#include "widgets/GifImageControl.h"

#include "imaging/Stream.h"
#include "imaging/gif/GifThreads.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <array>

namespace scenaria {

namespace {

// The codec's requests arrive from painter threads; each one queues a call that serves them
// from the event loop. Waits of the user-interface thread serve them directly as well.
class TQtGIFEventLoop : public QObject, public IGIFEventLoop {
public:
    TQtGIFEventLoop()
    {
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { quitting_ = true; });
    }
    void Wake() override
    {
        QMetaObject::invokeMethod(
            this, [] { ServeGIFSynchronization(); }, Qt::QueuedConnection);
    }
    bool ProcessEvents() override
    {
        QCoreApplication::processEvents();
        return !quitting_;
    }
    bool Quitting() const override { return quitting_; }

private:
    std::atomic<bool> quitting_{false};
};

QRgb ToQRgb(TColor color)
{
    return qRgb(GetRValue(color), GetGValue(color), GetBValue(color));
}

QRect ToQRect(const TRect& rect)
{
    return QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
}

} // namespace

void InstallGIFEventLoop()
{
    static TQtGIFEventLoop* loop = nullptr;
    if (loop)
        return;
    loop = new TQtGIFEventLoop;
    // Lives as long as the application; the codec keeps a plain pointer to it.
    loop->setParent(qApp);
    QObject::connect(loop, &QObject::destroyed, [] {
        SetGIFEventLoop(nullptr);
        loop = nullptr;
    });
    SetGIFEventLoop(loop);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        LowColorDisplay = screen->depth() < 9;
}

QImage ToQImage(const TPixelGraphic& graphic, const TGIFMask* mask)
{
    QImage image(graphic.Width(), graphic.Height(),
                 mask ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::array<TColor, 256> table{};
    if (graphic.BitCount() != bc24Bit)
        graphic.GetColorTable(table);
    for (int y = 0; y < graphic.Height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* row = graphic.ScanLine(y);
        for (int x = 0; x < graphic.Width(); ++x) {
            QRgb rgb;
            if (graphic.BitCount() == bc24Bit)
                rgb = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            else if (graphic.BitCount() == bc8Bit)
                rgb = ToQRgb(table[row[x]]);
            else
                rgb = ToQRgb(graphic.GetPixelColor(x, y));
            if (mask && x < mask->Width() && y < mask->Height() && mask->Transparent(x, y))
                rgb = qRgba(0, 0, 0, 0);
            line[x] = rgb;
        }
    }
    return image;
}

void TGIFQImageCanvas::StretchDraw(const TRect& rect, const TPixelGraphic& graphic)
{
    if (graphic.Empty())
        return;
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(ToQRect(rect), ToQImage(graphic));
}

void TGIFQImageCanvas::MaskedStretchDraw(const TRect& rect, const TPixelGraphic& graphic,
                                         const TGIFMask& mask)
{
    if (graphic.Empty())
        return;
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(ToQRect(rect), ToQImage(graphic, &mask));
}

void TGIFQImageCanvas::FillRect(const TRect& rect, TColor color)
{
    QPainter painter(&image_);
    painter.fillRect(ToQRect(rect), QColor(ToQRgb(color)));
}

void TGIFQImageCanvas::CopyTo(const TRect& rect, TPixelGraphic& target) const
{
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (target.Empty() || width <= 0 || height <= 0)
        return;
    for (int y = 0; y < target.Height(); ++y) {
        const int sy = rect.Top + int((2 * std::int64_t(y) + 1) * height / (2 * target.Height()));
        for (int x = 0; x < target.Width(); ++x) {
            const int sx =
                rect.Left + int((2 * std::int64_t(x) + 1) * width / (2 * target.Width()));
            if (sx < 0 || sy < 0 || sx >= image_.width() || sy >= image_.height())
                continue;
            const QRgb rgb = image_.pixel(sx, sy);
            target.SetPixelColor(x, y, RGB(qRed(rgb), qGreen(rgb), qBlue(rgb)));
        }
    }
}

TGIFImageControl::TGIFImageControl(QWidget* parent) : QWidget(parent)
{
    InstallGIFEventLoop();
    picture_.OnChange = [this] { update(); };
}

TGIFImageControl::~TGIFImageControl()
{
    // The picture's painter is stopped before the control it repaints goes.
    picture_.OnChange = nullptr;
    picture_.StopAllPainters();
}

bool TGIFImageControl::LoadFromData(const QByteArray& data)
{
    try {
        TPGMemoryStream stream(std::vector<std::uint8_t>(data.begin(), data.end()));
        picture_.LoadFromStream(stream);
        return true;
    } catch (const std::exception&) {
        picture_.Clear();
        return false;
    }
}

void TGIFImageControl::paintEvent(QPaintEvent*)
{
    if (buffer_.size() != size())
        buffer_ = QImage(size(), QImage::Format_RGB32);
    buffer_.fill(palette().color(backgroundRole()));
    TGIFQImageCanvas canvas(buffer_);
    try {
        picture_.Draw(canvas, TRect{0, 0, width(), height()});
    } catch (const std::exception&) {
        // A picture that cannot be drawn leaves the control's background.
    }
    QPainter(this).drawImage(0, 0, buffer_);
}

} // namespace scenaria
