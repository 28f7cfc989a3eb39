#pragma once
// Brackets a long operation on an image with its progress events: OnProgressStart when the
// scope begins, OnProgressEnd however it is left. A handler that throws on the way out of a
// failure does not replace the failure.

#include "imaging/PixelGraphic.h"

#include <exception>

namespace scenaria {

class TProgressScope {
public:
    explicit TProgressScope(TPixelGraphic& image) : image_(image) { image_.DoProgressStart(); }
    ~TProgressScope() noexcept(false)
    {
        if (std::uncaught_exceptions() > exceptions_) {
            try {
                image_.DoProgressEnd();
            } catch (...) {
            }
        } else {
            image_.DoProgressEnd();
        }
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TPixelGraphic& image_;
    int exceptions_ = std::uncaught_exceptions();
};

} // namespace scenaria
