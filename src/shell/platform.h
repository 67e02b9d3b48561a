#pragma once

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
};

}  // namespace qm
