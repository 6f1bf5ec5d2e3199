#include "sim/SimWorld.h"

#include "sim/SimLog.h"
#include "sim/SimModule.h"

#include <fstream>
#include <sstream>

namespace {

// A module name as a file name: letters, digits, '-', '_' and '.' stay, the rest becomes '_'.
std::string fileSafe(const std::string &name)
{
    std::string out;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += ok ? c : '_';
    }
    return out;
}

// The state folder is the process's, kept apart from the world so that naming it makes
// nothing: a program on a real port never makes the simulation.
std::mutex &stateFolderLock()
{
    static std::mutex lock;
    return lock;
}

std::string &stateFolder()
{
    static std::string folder;
    return folder;
}

} // namespace

std::shared_ptr<SimWorld> SimWorld::instance()
{
    static std::shared_ptr<SimWorld> world(new SimWorld);
    return world;
}

SimWorld::SimWorld() : scheduler_(lock_), air_(*this)
{
    scheduler_.start();
    air_.setName(SimAir::nameFromEnvironment());
}

SimWorld::~SimWorld()
{
    air_.shutdown();
    scheduler_.stop();
}

SimModule *SimWorld::module(const std::string &requested)
{
    const std::string name = requested.empty() ? std::string("default") : requested;
    std::lock_guard<std::mutex> lk(lock_);
    auto it = modules_.find(name);
    if (it != modules_.end())
        return it->second.get();
    SimConfig config;
    const std::string file = stateFile(name);
    if (!file.empty()) {
        std::ifstream in(file);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            config = SimConfig::fromText(text.str());
        }
    }
    qCDebug(lcSim) << "module" << name.c_str() << "powered on";
    auto made = std::make_unique<SimModule>(*this, name, config);
    SimModule *m = made.get();
    modules_.emplace(name, std::move(made));
    return m;
}

std::vector<SimModule *> SimWorld::modules() const
{
    std::vector<SimModule *> out;
    out.reserve(modules_.size());
    for (const auto &m : modules_)
        out.push_back(m.second.get());
    return out;
}

void SimWorld::setStateFolder(const std::string &folder)
{
    std::lock_guard<std::mutex> lk(stateFolderLock());
    stateFolder() = folder;
}

std::string SimWorld::stateFile(const std::string &moduleName)
{
    std::lock_guard<std::mutex> lk(stateFolderLock());
    if (stateFolder().empty())
        return {};
    return stateFolder() + "/simulated-module-" + fileSafe(moduleName) + ".txt";
}
