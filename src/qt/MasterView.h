#pragma once

class QSplitter;

namespace orvane {

class MasterViewController;

// The window's content: a splitter that takes the console and the inspector side by side.
QSplitter* makeMasterView(MasterViewController& master);
// Gives the console what the inspector leaves, once both are in.
void arrangeMasterView(QSplitter& splitter);

}  // namespace orvane
