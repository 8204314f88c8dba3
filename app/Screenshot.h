#pragma once
#include <QStringList>

namespace app {
// pixmar --screenshot FILE [--window NAME] [--lang bm|eng]: renders a window offscreen.
int runScreenshot(const QStringList &args);
}
