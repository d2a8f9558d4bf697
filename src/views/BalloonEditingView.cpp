#include "views/BalloonEditingView.h"

namespace zandrel {

BalloonEditingView::BalloonEditingView(ZDLDocument* document, QWidget* parent)
    : ZDLEditingView(document, parent)
{
}

BalloonEditingView::~BalloonEditingView() = default;

} // namespace zandrel
