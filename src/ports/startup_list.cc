#include "ports/startup_list.h"

namespace qm {

namespace {

class NoStartupListImpl final : public StartupList {
  public:
    // StartupList:
    StartupKeyValue Open() override { return StartupKeyValue{}; }
    StartupEnumResult EnumValue(StartupKeyValue, std::uint32_t, StartupValue&) override {
        return StartupEnumResult::NoMoreValues;
    }
    bool DeleteValue(StartupKeyValue, const std::string&) override { return false; }
    void Close(StartupKeyValue) override {}
};

}  // namespace

StartupList& NoStartupList() {
    static NoStartupListImpl list;
    return list;
}

}  // namespace qm
