#pragma once
// The settings of the main window's balloon hints.

#include "widgets/Balloon.h"

namespace scenaria {

inline void ConfigureBalloonHint1(TBalloonHint& hint)
{
    hint.BorderColor = Qt::black;
    hint.Color = QColor(255, 255, 157);
    hint.Font = QFont(QStringLiteral("Arial"));
    hint.Font.setPixelSize(11);
    hint.SetMaxWidth(-4);
    hint.Behavior = {bbNoShowMouseDown, bbUseRegions, bbHideOnPaint};
    hint.Position = bpAboveRight;
    hint.SetShadowDepth(8);
    hint.ShadowStyle = ssShaded;
    hint.Shape = bsRoundRect;
    hint.Style = hsCustom;
    hint.SetActive(true);
}

} // namespace scenaria
