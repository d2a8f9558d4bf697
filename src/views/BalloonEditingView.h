#pragma once

#include "views/ZDLEditingView.h"

namespace zandrel {

// The editing view of every view that holds balloons: the comic view, the parts view and the group
// editors. It adds the lettering: creating speech balloons, narration boxes and text blocks, editing
// their text in place, and the balloon and grouping commands.
class BalloonEditingView : public ZDLEditingView {
    Q_OBJECT

public:
    explicit BalloonEditingView(ZDLDocument* document, QWidget* parent = nullptr);
    ~BalloonEditingView() override;
};

} // namespace zandrel
