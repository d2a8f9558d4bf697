#pragma once

#include "graphics/FileAllowance.h"
#include "platform/FuzzingBuild.h"

#include <QString>
#include <QtGlobal>
#include <memory>

namespace zandrel {

class AttributedText;

// The lettering the balloons read from one file may hold laid out at once. Laying text out takes
// time for every character of a paragraph, shown or not, and far more for large type: a file of
// two thousand balloons, each holding a page of text at the largest size, took most of a minute to
// open before anything was drawn. Each balloon takes its text's cost (in the lettering units of
// DrawingWork) when it is first laid out and gives it back when its text changes or it goes. A
// balloon that finds the allowance spent keeps its text, and saves it as read, but is measured and
// drawn as a box of its width without lettering; the first such balloon of the file says so in
// the log. The allowance is far above what the largest real comics letter. Balloons made by the
// user, rather than read, have none.
class LetteringAllowance : public FileAllowance {
public:
    static constexpr qint64 kUnits = scaledAllowance(4LL * 1000 * 1000);

    LetteringAllowance();

    // The allowance of the file being read (shared by every balloon read from it and from the
    // files it holds); a new one when no file is being read.
    static std::shared_ptr<LetteringAllowance> forFileBeingRead();

    // What laying the text out costs here.
    static qint64 costOf(const AttributedText& text);

    static const QString kLeftOutMessage;
};

} // namespace zandrel
