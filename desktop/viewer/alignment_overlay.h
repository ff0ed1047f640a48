#pragma once
// The alignment check drawn over the pan: each block of the grid outlined, an arrow from its
// centre along the MS's offset there (lengthened by a round factor so that a fraction of a pixel
// can be seen), and a plate naming the whole offset, its confidence and the factor.

#include <QPointF>
#include <QRect>
#include <functional>

#include "ui/alignment_arrows.h"

class QPainter;

namespace lumesta {

// The round factor (1, 2, 5, 10, 20, ...) the arrows are lengthened by: the longest offset
// reaches about 40 % of the smaller side of a block.
double ArrowGain(const AlignmentArrows& alignment);

// Draws alignment with toScreen mapping pan pixels to the canvas; the plate sits at the top
// left of area.
void DrawAlignment(QPainter& painter, const AlignmentArrows& alignment,
                   const std::function<QPointF(QPointF)>& toScreen, const QRect& area);

}  // namespace lumesta
