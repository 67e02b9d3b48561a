#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <chrono>
#include <functional>
#include <string>

#include "platform/posix/linux_services.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_renderer.h"
#include "platform/qt/qt_tray_icon.h"
#include "platform/sim/sim_browser_world.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_process.h"
#include "platform/sim/sim_service_manager.h"
#include "platform/sim/sim_settings_store.h"
#include "platform/sim/sim_startup_list.h"
#include "ports/platform.h"

namespace qm::qt::testing {

// The Qt front end (loop, windows, message boxes, tray icon) with simulated services behind it: pages,
// processes, settings and the start-up list are the simulated platform's, so that tests can see what
// the windows asked of them. Pictures and the region file come from the program's asset folder.
class QtTestPlatform {
  public:
    QtTestPlatform()
        : process(simLoop),
          world(simLoop),
          renderer({QM_ASSETS_DIR, QM_APP_DIR}),
          desktop(renderer, pages),
          tray(renderer),
          platform{loop,  desktop,  process,     world,     settings, services,
                   files, renderer, startupList, NoPower(), tray} {
        process.SetAppPath(QM_ASSETS_DIR);
    }
    ~QtTestPlatform() { Flush(); }

    // Delivers events until `done` answers true or `timeoutMs` has passed; returns the last answer.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return done();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    // Lets deleted widgets go.
    static void Flush() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    sim::SimEventLoop simLoop;
    QtEventLoop loop;
    sim::SimDesktop pages;
    sim::SimProcess process;
    sim::SimBrowserWorld world;
    sim::SimSettingsStore settings;
    sim::SimServiceManager services;
    posix::PosixFileSystem files;
    sim::SimStartupList startupList;
    QtRenderer renderer;
    QtDesktop desktop;
    QtTrayIcon tray;
    Platform platform;
};

}  // namespace qm::qt::testing
