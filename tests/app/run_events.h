// Runs the Qt event loop until done() holds; false when it still does not after ten seconds.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

namespace vellomar::testing {

inline bool RunEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

}  // namespace vellomar::testing
