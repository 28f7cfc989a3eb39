#pragma once
// What the viewer's tests share: pictures written to a temporary folder, a viewer set up like
// the Explorer's, and reading back what it painted.

#include "TempDir.h"
#include "imaging/PixelGraphic.h"
#include "widgets/PGImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <functional>
#include <string>

namespace scenaria::testing {

// Every pixel a colour of its own (for pictures up to 64 x 64): a misplaced pixel shows.
inline TColor CodedColor(int x, int y)
{
    return RGB(x * 4, y * 4, 160 + (x + y) % 64);
}

inline void MakeCoded(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixelColor(x, y, CodedColor(x, y));
}

// Smooth ramps with many colours, the kind of picture a JPEG holds.
inline void MakeRamps(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>((x + y) * 255 / (width + height));
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / height);
            row[3 * x + 2] = static_cast<std::uint8_t>(x * 255 / width);
        }
    }
}

inline std::string WritePicture(const TTempDir& dir, const std::string& name,
                                const std::function<void(TPixelGraphic&)>& make)
{
    TPixelGraphic g;
    make(g);
    const std::string path = dir / name;
    g.SaveToFile(path);
    return path;
}

// The Explorer's preview has no border; shown at the given size.
inline void ShowViewer(TPGImage& viewer, int width, int height)
{
    viewer.setFrameShape(QFrame::NoFrame);
    viewer.resize(width, height);
    viewer.show();
    QApplication::processEvents();
}

// What the viewport shows, painted afresh.
inline QImage Shot(TPGImage& viewer)
{
    return viewer.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QRgb ToQRgb(TColor c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Lets queued signals arrive until done() or the time is up; false when it never came.
inline bool SpinUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace scenaria::testing
