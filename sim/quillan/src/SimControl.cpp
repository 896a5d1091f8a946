#include "SimControl.h"

#include "OrvSdk.h"
#include "SimCamera.h"
#include "SimText.h"
#include "SimWorld.h"

#include <cstdlib>

namespace quillan {

bool SimControlArgs::integer(size_t i, int64_t* value) const
{
    return i < words.size() && parseInt(words[i], value);
}

bool SimControlArgs::onOff(size_t i, bool* value) const
{
    if (i >= words.size())
        return false;
    const std::string& w = words[i];
    if (w == "on" || w == "1" || w == "true") {
        *value = true;
        return true;
    }
    if (w == "off" || w == "0" || w == "false") {
        *value = false;
        return true;
    }
    return false;
}

bool SimControlArgs::option(const std::string& name, std::string* value) const
{
    for (const std::string& w : words) {
        if (w.size() > name.size() && w.compare(0, name.size(), name) == 0 && w[name.size()] == '=') {
            *value = w.substr(name.size() + 1);
            return true;
        }
    }
    return false;
}

bool SimControlArgs::hasWord(const std::string& word) const
{
    for (const std::string& w : words)
        if (w == word)
            return true;
    return false;
}

std::vector<std::string> SimControlArgs::positional() const
{
    std::vector<std::string> result;
    for (const std::string& w : words)
        if (w != "always" && w.find('=') == std::string::npos)
            result.push_back(w);
    return result;
}

std::mutex& SimControl::mutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, SimControl::Entry>& SimControl::table()
{
    static std::map<std::string, Entry> t;
    return t;
}

bool SimControl::add(const std::string& verb, const std::string& usage, SimControlHandler handler)
{
    std::lock_guard<std::mutex> lock(mutex());
    table()[verb] = Entry{usage, std::move(handler)};
    return true;
}

int SimControl::run(const std::string& line, std::string& reply)
{
    runStartupCommands();
    return dispatch(line, reply);
}

int SimControl::dispatch(const std::string& line, std::string& reply)
{
    reply.clear();
    std::vector<std::string> words = splitWords(line);
    if (words.empty()) {
        reply = "empty command";
        return ORV_ERROR_INVALID_ARGUMENT;
    }
    SimControlArgs args;
    args.verb = words.front();
    args.words.assign(words.begin() + 1, words.end());
    SimControlHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex());
        auto it = table().find(args.verb);
        if (it != table().end())
            handler = it->second.handler;
    }
    if (!handler) {
        reply = "unknown command: " + args.verb;
        return ORV_ERROR_INVALID_ARGUMENT;
    }
    int rc = handler(args, reply);
    if (rc != 0) {
        if (reply.empty())
            reply = "refused: " + line;
        return ORV_ERROR_INVALID_ARGUMENT;
    }
    return 0;
}

void SimControl::runStartupCommands()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char* env = std::getenv("QUILLAN_SIM_CONTROL");
        if (!env)
            return;
        std::string all = env;
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(';', start);
            if (end == std::string::npos)
                end = all.size();
            std::string command = all.substr(start, end - start);
            if (command.find_first_not_of(" \t") != std::string::npos) {
                std::string reply;
                dispatch(command, reply);
            }
            start = end + 1;
        }
    });
}

std::shared_ptr<SimCamera> SimControl::camera(const std::string& name, std::string& reply)
{
    auto cam = SimWorld::instance().findCamera(name);
    if (!cam)
        reply = "no such camera: " + name;
    return cam;
}

std::string SimControl::help()
{
    std::lock_guard<std::mutex> lock(mutex());
    std::string text;
    for (const auto& [verb, entry] : table())
        text += verb + " " + entry.usage + "\n";
    return text;
}

} // namespace quillan
