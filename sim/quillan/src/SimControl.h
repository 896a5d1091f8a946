// Test-control dispatcher behind the export OrvSimControl.
//
// A command is one line: a verb and blank-separated arguments; double quotes
// group words with blanks. Each part of the simulator registers its own verbs
// from its own file, at static initialisation:
//
//   static const bool registered = SimControl::add("stream.stall",
//       "<device> on/off",
//       [](const SimControlArgs& a, std::string& reply) { ...; return 0; });
//
// A handler returns 0 when the command was applied, or -1006 with the reason
// in reply. Handlers run on the caller's thread without any dispatcher lock.
// The commands of the environment variable QUILLAN_SIM_CONTROL (separated by
// ";") run once, before the first SDK call or control command of the process.
#ifndef SIMCONTROL_H
#define SIMCONTROL_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

class SimCamera;

struct SimControlArgs {
    std::string verb;
    std::vector<std::string> words; // arguments after the verb

    size_t size() const { return words.size(); }
    const std::string& operator[](size_t i) const { return words[i]; }
    // Integer argument i (decimal or 0x...); false when missing or malformed.
    bool integer(size_t i, int64_t* value) const;
    // "on"/"off", "1"/"0", "true"/"false".
    bool onOff(size_t i, bool* value) const;
    // The value of a "name=value" word anywhere in the arguments.
    bool option(const std::string& name, std::string* value) const;
    bool hasWord(const std::string& word) const;
    // The arguments without "name=value" words and without "always".
    std::vector<std::string> positional() const;
};

using SimControlHandler = std::function<int(const SimControlArgs& args, std::string& reply)>;

class SimControl {
public:
    // Registers a verb; a later registration of the same verb replaces it.
    static bool add(const std::string& verb, const std::string& usage, SimControlHandler handler);

    // Runs one command line; returns 0 or -1006 and fills reply.
    static int run(const std::string& line, std::string& reply);

    // Runs QUILLAN_SIM_CONTROL once per process.
    static void runStartupCommands();

    // The camera named by a device ID or profile key, for handlers. Sets a
    // reply and returns null when there is none.
    static std::shared_ptr<SimCamera> camera(const std::string& name, std::string& reply);

    // Verbs with their usage, one per line.
    static std::string help();

private:
    struct Entry {
        std::string usage;
        SimControlHandler handler;
    };
    static int dispatch(const std::string& line, std::string& reply);
    static std::mutex& mutex();
    static std::map<std::string, Entry>& table();
};

} // namespace quillan

#endif // SIMCONTROL_H
