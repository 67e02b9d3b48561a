#pragma once

#include "ports/power.h"
#include "ports/startup_list.h"
#include "ports/tray_icon.h"

namespace qm {

class BrowserFactory;
class Desktop;
class EventLoop;
class FileSystem;
class ProcessServices;
class Renderer;
class ServiceManager;
class SettingsStore;

// One set of adapters, wired to the core by a program entry point (or by a test). The adapters outlive
// every object of the core that uses them.
struct Platform {
    EventLoop& loop;
    Desktop& desktop;
    ProcessServices& process;
    BrowserFactory& browsers;
    SettingsStore& settings;
    ServiceManager& services;
    FileSystem& files;
    Renderer& renderer;
    // The machine's start-up list, the restart calls and the notification-area icon. A platform without
    // them leaves them out: the list then never opens, a restart is refused and no icon is shown.
    StartupList& startupList = NoStartupList();
    Power& power = NoPower();
    TrayIcon& tray = NoTrayIcon();
};

}  // namespace qm
